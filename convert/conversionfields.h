#ifndef VANDREL_CONVERT_CONVERSIONFIELDS_H
#define VANDREL_CONVERT_CONVERSIONFIELDS_H

#include <QString>
#include <QtGlobal>

#include <optional>

// The values a user types beside the paths, read the same way by the
// window, the command line and the inspector. Both take what Qt's
// QString::toUInt takes: spaces around the number and one leading '+' are
// allowed; a sign '-', a fraction or any other character is not.

// The software version: decimal, 0 to 65535 ("101", " 101 ", "+101").
std::optional<quint16> ParseVersion(const QString &text);

// The start address: hexadecimal of either case, with or without "0x",
// 0 to FFFFFFFF ("08000000", "8000000", "0x08000000", "8000abc").
std::optional<quint32> ParseStartAddress(const QString &text);

// Why a start address was refused, after what names it ("start address
// \"8000G\"", "--address \"x\""): one text wherever an address is read.
QString StartAddressRefusal(const QString &named);

// The header's byte order, as ConversionRequest::littleEndian holds it:
// "little" 1, "big" 0; exactly these words.
std::optional<int> ParseByteOrder(const QString &text);

#endif
