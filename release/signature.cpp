#include "signature.h"

#include <sodium.h>

#include <QList>
#include <QtEndian>

#include <array>

namespace {
// signify's layouts, all byte arrays but the rounds (big-endian).
const QByteArray Algorithm = QByteArrayLiteral("Ed");
const QByteArray KeyDerivation = QByteArrayLiteral("BK");
constexpr int KeyNumberSize = 8;
constexpr int SaltSize = 16;
constexpr int ChecksumSize = 8;
constexpr int RoundsOffset = 4;
constexpr int SaltOffset = RoundsOffset + 4;
constexpr int ChecksumOffset = SaltOffset + SaltSize;
constexpr int SecretKeyNumberOffset = ChecksumOffset + ChecksumSize;
constexpr int SecretOffset = SecretKeyNumberOffset + KeyNumberSize;
constexpr int SecretFileSize = SecretOffset + crypto_sign_SECRETKEYBYTES;
constexpr int PublicFileSize = 2 + KeyNumberSize + crypto_sign_PUBLICKEYBYTES;
constexpr int SignatureSize = 2 + KeyNumberSize + crypto_sign_BYTES;

const QByteArray CommentHead = QByteArrayLiteral("untrusted comment: ");
const QByteArray SecretComment = QByteArrayLiteral("vandrel-cli secret key");
const QByteArray PublicComment = QByteArrayLiteral("vandrel-cli public key");
// Fixed, so that a signature depends on nothing but the message and the key.
const QByteArray SignatureComment = QByteArrayLiteral("verify with the release's public key");

bool sodiumReady()
{
    return sodium_init() >= 0;
}

const unsigned char *bytes(const QByteArray &data, int offset = 0)
{
    return reinterpret_cast<const unsigned char *>(data.constData()) + offset;
}

unsigned char *bytes(QByteArray &data, int offset = 0)
{
    return reinterpret_cast<unsigned char *>(data.data()) + offset;
}

QByteArray fileOf(const QByteArray &comment, const QByteArray &payload)
{
    return CommentHead + comment + '\n' + payload.toBase64() + '\n';
}

// The payload of a comment line and a base64 line, of the size expected.
QString payloadOf(const QByteArray &file, int size, QByteArray *payload)
{
    const QList<QByteArray> lines = file.split('\n');
    // Two lines, each ended by LF: the split leaves an empty piece behind.
    if (lines.size() != 3 || !lines.at(2).isEmpty() || !lines.at(0).startsWith(CommentHead))
        return QStringLiteral("is not in signify's format (a comment line and a base64 line)");
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(lines.at(1), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size)
        return QStringLiteral("does not hold %1 bytes of base64").arg(size);
    if (!decoded.decoded.startsWith(Algorithm))
        return QStringLiteral("is not an Ed25519 key or signature");
    *payload = decoded.decoded;
    return QString();
}

QByteArray secretChecksum(const QByteArray &secret)
{
    std::array<unsigned char, crypto_hash_sha512_BYTES> digest{};
    crypto_hash_sha512(digest.data(), bytes(secret), quint64(secret.size()));
    return QByteArray(reinterpret_cast<const char *>(digest.data()), ChecksumSize);
}
} // namespace

QString ParseSecretKey(const QByteArray &file, SecretKey *key)
{
    QByteArray payload;
    const QString problem = payloadOf(file, SecretFileSize, &payload);
    if (!problem.isEmpty())
        return problem;
    if (payload.mid(2, 2) != KeyDerivation)
        return QStringLiteral("is not a signify secret key");
    if (qFromBigEndian<quint32>(bytes(payload, RoundsOffset)) != 0)
        return QStringLiteral("is protected by a passphrase, which vandrel-cli does not read "
                              "(make a key without one: vandrel-cli keygen, or signify-openbsd -G -n)");
    const QByteArray secret = payload.mid(SecretOffset, crypto_sign_SECRETKEYBYTES);
    if (!sodiumReady())
        return QStringLiteral("cannot be used: the cryptography library did not start");
    if (secretChecksum(secret) != payload.mid(ChecksumOffset, ChecksumSize))
        return QStringLiteral("is damaged: its checksum does not match");
    *key = SecretKey{payload.mid(SecretKeyNumberOffset, KeyNumberSize), secret};
    return QString();
}

QString ParsePublicKey(const QByteArray &file, PublicKey *key)
{
    QByteArray payload;
    const QString problem = payloadOf(file, PublicFileSize, &payload);
    if (!problem.isEmpty())
        return problem;
    *key = PublicKey{payload.mid(2, KeyNumberSize), payload.mid(2 + KeyNumberSize)};
    return QString();
}

bool MakeKeyFiles(QByteArray *secretFile, QByteArray *publicFile)
{
    if (!sodiumReady())
        return false;
    QByteArray publicKey(crypto_sign_PUBLICKEYBYTES, '\0');
    QByteArray secret(crypto_sign_SECRETKEYBYTES, '\0');
    QByteArray keyNumber(KeyNumberSize, '\0');
    QByteArray salt(SaltSize, '\0');
    crypto_sign_keypair(bytes(publicKey), bytes(secret));
    randombytes_buf(keyNumber.data(), std::size_t(keyNumber.size()));
    randombytes_buf(salt.data(), std::size_t(salt.size()));
    // No passphrase: zero rounds, and the secret stored as it is.
    const QByteArray rounds(4, '\0');
    *secretFile = fileOf(SecretComment, Algorithm + KeyDerivation + rounds + salt + secretChecksum(secret) + keyNumber
                                            + secret);
    *publicFile = fileOf(PublicComment, Algorithm + keyNumber + publicKey);
    sodium_memzero(secret.data(), std::size_t(secret.size()));
    return true;
}

QByteArray SignatureFile(const QByteArray &message, const SecretKey &key)
{
    QByteArray signature(crypto_sign_BYTES, '\0');
    if (!sodiumReady() || key.secret.size() != crypto_sign_SECRETKEYBYTES
        || crypto_sign_detached(bytes(signature), nullptr, bytes(message), quint64(message.size()), bytes(key.secret))
               != 0)
        return QByteArray();
    return fileOf(SignatureComment, Algorithm + key.keyNumber + signature);
}

QString CheckSignatureFile(const QByteArray &message, const QByteArray &signatureFile, const PublicKey &key)
{
    QByteArray payload;
    const QString problem = payloadOf(signatureFile, SignatureSize, &payload);
    if (!problem.isEmpty())
        return problem;
    if (payload.mid(2, KeyNumberSize) != key.keyNumber)
        return QStringLiteral("was made with another key");
    if (!sodiumReady())
        return QStringLiteral("cannot be checked: the cryptography library did not start");
    if (crypto_sign_verify_detached(bytes(payload, 2 + KeyNumberSize), bytes(message), quint64(message.size()),
                                    bytes(key.key))
        != 0)
        return QStringLiteral("does not match the signed file");
    return QString();
}
