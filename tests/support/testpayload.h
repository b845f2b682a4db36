#ifndef VANDREL_TESTS_TESTPAYLOAD_H
#define VANDREL_TESTS_TESTPAYLOAD_H

#include <QByteArray>

// Pseudo-random bytes that are the same on every run for the same seed, so a
// failure can be reproduced.
QByteArray RandomPayload(qint64 size, quint32 seed);

#endif
