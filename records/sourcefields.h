#ifndef VANDREL_RECORDS_SOURCEFIELDS_H
#define VANDREL_RECORDS_SOURCEFIELDS_H

#include "addressrange.h"

#include <QString>
#include <QtGlobal>

#include <optional>

// The values a user types to say how an addressed source is placed, read the
// same way by the command line and the settings file. Spaces around a value
// are allowed.

// The fill byte: hexadecimal, one or two digits, with or without "0x"
// ("FF", "0x00", "a5").
std::optional<quint8> ParseFillByte(const QString &text);

// The span limit in bytes: decimal, with an optional K or M suffix (KiB,
// MiB: 1024 and 1048576 bytes), or hexadecimal after "0x"; 1 to FFFFFFFF
// bytes ("67108864", "64M", "512K", "0x4000000").
std::optional<qint64> ParseSizeLimit(const QString &text);

// A range of addresses: START-END in hexadecimal, with or without "0x",
// END excluded and above START, at most 100000000 ("08000000-08010000").
std::optional<AddressRange> ParseAddressRange(const QString &text);

#endif
