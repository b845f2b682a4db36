#ifndef VANDREL_RELEASE_SIGNATURE_H
#define VANDREL_RELEASE_SIGNATURE_H

#include <QByteArray>
#include <QString>

// Ed25519 keys and detached signatures in the format of OpenBSD's signify
// (Debian's signify-openbsd), so that anyone can check a release with
// "signify-openbsd -V -p KEY.pub -m MANIFEST", which reads MANIFEST.sig.
// Each file is a line "untrusted comment: ..." and a line of base64. Keys
// protected by a passphrase are refused: their key derivation (bcrypt_pbkdf)
// is not among the well-kept library's functions.

struct SecretKey
{
    QByteArray keyNumber; // 8 bytes that name the pair
    QByteArray secret;    // 64 bytes: the seed, then the public key
};

struct PublicKey
{
    QByteArray keyNumber;
    QByteArray key; // 32 bytes
};

// The largest key or signature file that is read.
constexpr qint64 MaxKeyFileSize = 4096;

// The name signify looks for a file's signature under.
inline QString SignatureFileName(const QString &path) { return path + QStringLiteral(".sig"); }

// Each returns an empty text, or what is wrong with the file's contents.
QString ParseSecretKey(const QByteArray &file, SecretKey *key);
QString ParsePublicKey(const QByteArray &file, PublicKey *key);

// A new pair as the two files' contents; false when the library cannot start.
bool MakeKeyFiles(QByteArray *secretFile, QByteArray *publicFile);

// The signature file of message: the same bytes for the same message and key.
QByteArray SignatureFile(const QByteArray &message, const SecretKey &key);

// Empty when signatureFile holds key's signature of message; otherwise why not.
QString CheckSignatureFile(const QByteArray &message, const QByteArray &signatureFile, const PublicKey &key);

#endif
