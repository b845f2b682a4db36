#ifndef VANDREL_IMAGE_CRC16_H
#define VANDREL_IMAGE_CRC16_H

#include <QtGlobal>

// CRC-16 in its augmented table form: poly 0x1021, initial 0, no reflection,
// no final XOR. The result equals CRC-16/XMODEM.

extern const quint16 Crc16Table[256];

// One augmented step: ((crc << 8) | byte) ^ Crc16Table[crc >> 8].
quint16 Crc16Update(quint8 byte, quint16 crc);

// Runs Crc16Update over a block; the running value is not flushed, so long
// inputs can be fed one chunk at a time.
quint16 Crc16Append(quint16 crc, const quint8 *data, qint64 length);

// The two zero-byte flush steps that end an augmented CRC.
quint16 Crc16Finish(quint16 crc);

// The CRC-16 of a message continued by one more block: crc is the CRC of
// what came before (0 at the start), the result that of everything so far.
// Equal to Crc16Finish(Crc16Append(...)), computed eight bytes at a time.
quint16 Crc16Continue(quint16 crc, const quint8 *data, qint64 length);

// CRC-16 of a whole block; a length of 0 gives 0.
quint16 Crc16(const quint8 *data, int length);

#endif
