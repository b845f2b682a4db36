#ifndef VANDREL_TESTS_RECORDLINES_H
#define VANDREL_TESTS_RECORDLINES_H

#include <QByteArray>
#include <QtGlobal>

// Record lines made by the tests themselves, checksums included, never by the
// codecs under test; each ends with LF. The type decides an S-record's
// address width (S1/S5/S9 two bytes, S2/S6/S8 three, S3/S7 four).
QByteArray SRecordLine(int type, quint32 address, const QByteArray &data);
QByteArray IntelHexLine(int type, quint16 offset, const QByteArray &data);

#endif
