#ifndef VANDREL_APP_CONVERSIONMESSAGES_H
#define VANDREL_APP_CONVERSIONMESSAGES_H

#include "conversion.h"

#include <QString>

// The window's fixed text for the outcome of a conversion ("转换成功！" for
// success). The texts name neither the path nor the cause.
QString ConversionMessage(ConversionStatus status);

// What the fixed text leaves out, shown beneath it: after a success the
// files written, the image's size and its CRC; after a failure the path and
// the cause (the engine's English line); "" after a cancel.
QString ConversionDetails(const ConversionResult &result);

#endif
