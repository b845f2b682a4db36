#include "signature.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <QList>
#include <QtEndian>

#include <array>
#include <memory>

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
// Ed25519: a 32-byte seed makes the pair; signify keeps seed and public key
// together as the 64-byte secret.
constexpr int SeedSize = 32;
constexpr int PublicKeySize = 32;
constexpr int SecretSize = SeedSize + PublicKeySize;
constexpr int SignatureBytes = 64;
constexpr int SecretFileSize = SecretOffset + SecretSize;
constexpr int PublicFileSize = 2 + KeyNumberSize + PublicKeySize;
constexpr int SignatureSize = 2 + KeyNumberSize + SignatureBytes;

const QByteArray CommentHead = QByteArrayLiteral("untrusted comment: ");
const QByteArray SecretComment = QByteArrayLiteral("vandrel-cli secret key");
const QByteArray PublicComment = QByteArrayLiteral("vandrel-cli public key");
// Fixed, so that a signature depends on nothing but the message and the key.
const QByteArray SignatureComment = QByteArrayLiteral("verify with the release's public key");

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

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

// The first bytes of the secret's SHA-512, which signify stores to tell a
// damaged key (or a wrong passphrase) from a good one.
QByteArray secretChecksum(const QByteArray &secret)
{
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    if (EVP_Digest(secret.constData(), std::size_t(secret.size()), digest.data(), &size, EVP_sha512(), nullptr) != 1)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(digest.data()), ChecksumSize);
}

Key secretKeyOf(const QByteArray &secret)
{
    return Key(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, bytes(secret), SeedSize), &EVP_PKEY_free);
}

// A new key's secret: the seed, then the public key.
QByteArray newSecret()
{
    QByteArray secret(SecretSize, '\0');
    if (RAND_bytes(bytes(secret), SeedSize) != 1)
        return QByteArray();
    const Key key = secretKeyOf(secret);
    std::size_t publicSize = PublicKeySize;
    if (!key || EVP_PKEY_get_raw_public_key(key.get(), bytes(secret, SeedSize), &publicSize) != 1
        || publicSize != std::size_t(PublicKeySize)) {
        OPENSSL_cleanse(secret.data(), std::size_t(secret.size()));
        return QByteArray();
    }
    return secret;
}

// Ed25519 signs the message itself: no digest is named.
bool signMessage(const QByteArray &message, const QByteArray &secret, QByteArray *signature)
{
    const Key key = secretKeyOf(secret);
    const DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    std::size_t size = SignatureBytes;
    signature->resize(SignatureBytes);
    return key && context && EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1
           && EVP_DigestSign(context.get(), bytes(*signature), &size, bytes(message), std::size_t(message.size())) == 1
           && size == std::size_t(SignatureBytes);
}

// 1 when the signature holds, 0 when it does not, -1 when it could not be checked.
int verifyMessage(const QByteArray &message, const unsigned char *signature, const QByteArray &publicKey)
{
    const Key key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(publicKey), std::size_t(publicKey.size())),
                  &EVP_PKEY_free);
    const DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key)
        return 0; // not a point of the curve: no signature can hold
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return -1;
    return EVP_DigestVerify(context.get(), signature, SignatureBytes, bytes(message), std::size_t(message.size())) == 1
               ? 1
               : 0;
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
    const QByteArray secret = payload.mid(SecretOffset, SecretSize);
    const QByteArray checksum = secretChecksum(secret);
    if (checksum.isEmpty())
        return QStringLiteral("cannot be used: the cryptography library failed");
    if (checksum != payload.mid(ChecksumOffset, ChecksumSize))
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
    QByteArray secret = newSecret();
    QByteArray keyNumber(KeyNumberSize, '\0');
    QByteArray salt(SaltSize, '\0');
    const QByteArray checksum = secret.isEmpty() ? QByteArray() : secretChecksum(secret);
    const bool made = !checksum.isEmpty() && RAND_bytes(bytes(keyNumber), KeyNumberSize) == 1
                      && RAND_bytes(bytes(salt), SaltSize) == 1;
    if (made) {
        // No passphrase: zero rounds, and the secret stored as it is.
        const QByteArray rounds(4, '\0');
        *secretFile = fileOf(SecretComment, Algorithm + KeyDerivation + rounds + salt + checksum + keyNumber + secret);
        *publicFile = fileOf(PublicComment, Algorithm + keyNumber + secret.mid(SeedSize));
    }
    if (!secret.isEmpty())
        OPENSSL_cleanse(secret.data(), std::size_t(secret.size()));
    return made;
}

QByteArray SignatureFile(const QByteArray &message, const SecretKey &key)
{
    QByteArray signature;
    if (key.secret.size() != SecretSize || !signMessage(message, key.secret, &signature))
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
    const int verdict = verifyMessage(message, bytes(payload, 2 + KeyNumberSize), key.key);
    if (verdict < 0)
        return QStringLiteral("cannot be checked: the cryptography library failed");
    if (verdict == 0)
        return QStringLiteral("does not match the signed file");
    return QString();
}
