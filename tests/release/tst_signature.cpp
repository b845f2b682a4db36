// Release signatures in signify's format: checked by Debian's
// signify-openbsd in both directions, the same bytes every time, and every
// damaged or foreign file refused with its reason.

#include "referencetools.h"
#include "signature.h"
#include "testfiles.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

namespace {
const QByteArray Message = QByteArrayLiteral("{\n  \"format\": \"vandrel-release/1\"\n}\n");

QString Signify()
{
    return QStandardPaths::findExecutable(QStringLiteral("signify-openbsd"));
}

// The file with its base64 payload changed by edit.
QByteArray WithPayload(const QByteArray &file, const std::function<void(QByteArray &)> &edit)
{
    QList<QByteArray> lines = file.split('\n');
    QByteArray payload = QByteArray::fromBase64(lines.at(1));
    edit(payload);
    lines[1] = payload.toBase64();
    return lines.join('\n');
}
} // namespace

class TestSignature : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void ourKeysWorkWithSignify();
    void signifyKeysWorkWithUs();
    void damagedSignaturesRefused_data();
    void damagedSignaturesRefused();
    void unusableKeysRefused_data();
    void unusableKeysRefused();

private:
    QString path(const char *name) const { return m_dir->filePath(QString::fromLatin1(name)); }
    bool makeKeys(SecretKey *secret, PublicKey *key, QByteArray *publicFile = nullptr);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSignature::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

bool TestSignature::makeKeys(SecretKey *secret, PublicKey *key, QByteArray *publicFile)
{
    QByteArray secretFile;
    QByteArray publicText;
    if (!MakeKeyFiles(&secretFile, &publicText))
        return false;
    if (publicFile)
        *publicFile = publicText;
    return ParseSecretKey(secretFile, secret).isEmpty() && ParsePublicKey(publicText, key).isEmpty();
}

// Our pair, our signature: signify-openbsd verifies it with our public key
// (reading MESSAGE.sig by default), and refuses it with a key of its own.
void TestSignature::ourKeysWorkWithSignify()
{
    SecretKey secret;
    PublicKey key;
    QByteArray publicFile;
    QVERIFY(makeKeys(&secret, &key, &publicFile));
    const QByteArray signature = SignatureFile(Message, secret);
    QCOMPARE(SignatureFile(Message, secret), signature);
    QVERIFY2(CheckSignatureFile(Message, signature, key).isEmpty(), qPrintable(CheckSignatureFile(Message, signature, key)));
    if (Signify().isEmpty())
        QSKIP("signify-openbsd is not installed (Debian package signify-openbsd)");

    QVERIFY(WriteFile(path("release.json"), Message));
    QVERIFY(WriteFile(SignatureFileName(path("release.json")), signature));
    QVERIFY(WriteFile(path("ours.pub"), publicFile));
    QString error;
    QVERIFY2(RunTool(Signify(), {QStringLiteral("-V"), QStringLiteral("-q"), QStringLiteral("-p"), path("ours.pub"),
                                 QStringLiteral("-m"), path("release.json")},
                     nullptr, &error),
             qPrintable(error));
    QVERIFY(RunTool(Signify(), {QStringLiteral("-G"), QStringLiteral("-n"), QStringLiteral("-p"), path("other.pub"),
                                QStringLiteral("-s"), path("other.sec")},
                    nullptr, &error));
    QVERIFY(!RunTool(Signify(), {QStringLiteral("-V"), QStringLiteral("-q"), QStringLiteral("-p"), path("other.pub"),
                                 QStringLiteral("-m"), path("release.json")},
                     nullptr, &error));
}

// A pair made by signify-openbsd -G -n: we sign with its secret key and
// signify verifies; signify signs and we verify with its public key.
void TestSignature::signifyKeysWorkWithUs()
{
    if (Signify().isEmpty())
        QSKIP("signify-openbsd is not installed (Debian package signify-openbsd)");
    QString error;
    QVERIFY(RunTool(Signify(), {QStringLiteral("-G"), QStringLiteral("-n"), QStringLiteral("-p"), path("k.pub"),
                                QStringLiteral("-s"), path("k.sec")},
                    nullptr, &error));
    SecretKey secret;
    PublicKey key;
    QCOMPARE(ParseSecretKey(ReadFile(path("k.sec")), &secret), QString());
    QCOMPARE(ParsePublicKey(ReadFile(path("k.pub")), &key), QString());

    QVERIFY(WriteFile(path("ours.json"), Message));
    QVERIFY(WriteFile(SignatureFileName(path("ours.json")), SignatureFile(Message, secret)));
    QVERIFY2(RunTool(Signify(), {QStringLiteral("-V"), QStringLiteral("-q"), QStringLiteral("-p"), path("k.pub"),
                                 QStringLiteral("-m"), path("ours.json")},
                     nullptr, &error),
             qPrintable(error));

    QVERIFY(WriteFile(path("theirs.json"), Message));
    QVERIFY(RunTool(Signify(), {QStringLiteral("-S"), QStringLiteral("-s"), path("k.sec"), QStringLiteral("-m"),
                                path("theirs.json")},
                    nullptr, &error));
    QCOMPARE(CheckSignatureFile(Message, ReadFile(SignatureFileName(path("theirs.json"))), key), QString());
}

void TestSignature::damagedSignaturesRefused_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason");

    QTest::newRow("message changed by one byte") << "message" << "does not match the signed file";
    QTest::newRow("signature bit flipped") << "signature bit" << "does not match the signed file";
    QTest::newRow("another key's signature") << "other key" << "was made with another key";
    QTest::newRow("empty file") << "empty" << "is not in signify's format";
    QTest::newRow("no comment line") << "no comment" << "is not in signify's format";
    QTest::newRow("a third line") << "third line" << "is not in signify's format";
    QTest::newRow("base64 broken") << "bad base64" << "does not hold 74 bytes of base64";
    QTest::newRow("payload short") << "short" << "does not hold 74 bytes of base64";
    QTest::newRow("another algorithm") << "algorithm" << "is not an Ed25519 key or signature";
}

void TestSignature::damagedSignaturesRefused()
{
    QFETCH(QString, damage);
    QFETCH(QString, reason);

    SecretKey secret;
    PublicKey key;
    QVERIFY(makeKeys(&secret, &key));
    QByteArray message = Message;
    QByteArray signature = SignatureFile(message, secret);
    if (damage == QLatin1String("message")) {
        message[5] = char(message.at(5) ^ 0x20);
    } else if (damage == QLatin1String("signature bit")) {
        signature = WithPayload(signature, [](QByteArray &payload) { payload[40] = char(payload.at(40) ^ 0x01); });
    } else if (damage == QLatin1String("other key")) {
        SecretKey other;
        PublicKey otherKey;
        QVERIFY(makeKeys(&other, &otherKey));
        signature = SignatureFile(message, other);
    } else if (damage == QLatin1String("empty")) {
        signature.clear();
    } else if (damage == QLatin1String("no comment")) {
        signature = signature.mid(signature.indexOf('\n') + 1) + "\n";
    } else if (damage == QLatin1String("third line")) {
        signature += "more\n";
    } else if (damage == QLatin1String("bad base64")) {
        signature.insert(signature.indexOf('\n') + 3, '*');
    } else if (damage == QLatin1String("short")) {
        signature = WithPayload(signature, [](QByteArray &payload) { payload.chop(1); });
    } else if (damage == QLatin1String("algorithm")) {
        signature = WithPayload(signature, [](QByteArray &payload) { payload[1] = 'x'; });
    }
    const QString found = CheckSignatureFile(message, signature, key);
    QVERIFY2(found.contains(reason), qPrintable(found));
}

void TestSignature::unusableKeysRefused_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason");

    QTest::newRow("protected by a passphrase") << "rounds" << "is protected by a passphrase";
    QTest::newRow("secret changed") << "secret" << "is damaged: its checksum does not match";
    QTest::newRow("another key derivation") << "derivation" << "is not a signify secret key";
    QTest::newRow("a public key given as secret") << "public" << "does not hold 104 bytes of base64";
}

void TestSignature::unusableKeysRefused()
{
    QFETCH(QString, damage);
    QFETCH(QString, reason);

    QByteArray secretFile;
    QByteArray publicFile;
    QVERIFY(MakeKeyFiles(&secretFile, &publicFile));
    // Offsets in signify's secret key: rounds at 4, the secret from 40.
    if (damage == QLatin1String("rounds"))
        secretFile = WithPayload(secretFile, [](QByteArray &payload) { payload[7] = 42; });
    else if (damage == QLatin1String("secret"))
        secretFile = WithPayload(secretFile, [](QByteArray &payload) { payload[50] = char(payload.at(50) ^ 1); });
    else if (damage == QLatin1String("derivation"))
        secretFile = WithPayload(secretFile, [](QByteArray &payload) { payload[3] = 'X'; });
    else
        secretFile = publicFile;
    SecretKey key;
    const QString found = ParseSecretKey(secretFile, &key);
    QVERIFY2(found.contains(reason), qPrintable(found));
}

QTEST_GUILESS_MAIN(TestSignature)
#include "tst_signature.moc"
