#include "clsBase64.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Failure messages show text, not code units.
inline void PrintTo(const QString &testo, std::ostream *os)
{
    *os << '"' << qUtf8Printable(testo) << '"';
}

namespace {

QByteArray casuali(qsizetype n, quint32 seme)
{
    QRandomGenerator gen(seme);
    QByteArray dati(n, Qt::Uninitialized);
    for (char &c : dati) {
        c = static_cast<char>(gen.bounded(256));
    }
    return dati;
}

QByteArray leggi(const QString &percorso)
{
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool scrivi(const QString &percorso, const QByteArray &dati)
{
    QFile f(percorso);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(dati) == dati.size();
}

// Text broken by `separatore` after every `passo` characters.
QByteArray spezza(const QByteArray &testo, qsizetype passo, const QByteArray &separatore)
{
    QByteArray out;
    for (qsizetype i = 0; i < testo.size(); i += passo) {
        out += testo.mid(i, passo) + separatore;
    }
    return out;
}

const QByteArray Invariato = QByteArrayLiteral("invariato");

} // namespace

TEST(Base64Test, Rfc4648VectorsWithTheirPadding)
{
    const char *const vettori[][2] = {{"", ""},
                                      {"f", "Zg=="},
                                      {"fo", "Zm8="},
                                      {"foo", "Zm9v"},
                                      {"foob", "Zm9vYg=="},
                                      {"fooba", "Zm9vYmE="},
                                      {"foobar", "Zm9vYmFy"}};
    clsBase64 b64;
    for (const auto &[chiaro, codificato] : vettori) {
        QString stringa;
        EXPECT_EQ(b64.Base64EncoderString(QByteArray(chiaro), stringa), static_cast<qint32>(std::strlen(codificato)));
        EXPECT_EQ(stringa, QString::fromLatin1(codificato));
        QByteArray dati = Invariato;
        EXPECT_EQ(b64.Base64DecoderString(stringa, dati), 0);
        EXPECT_EQ(dati, QByteArray(chiaro));
    }
}

TEST(Base64Test, AgreesWithAnIndependentCodecOnEveryLength)
{
    clsBase64 b64;
    for (quint32 n = 0; n <= 300; ++n) {
        const QByteArray dati = casuali(n, n);
        QByteArray testo;
        const qint32 caratteri = b64.Base64Encoder(dati, testo);
        ASSERT_EQ(caratteri, testo.size());
        ASSERT_EQ(testo, dati.toBase64()) << n;
        QByteArray ritorno;
        ASSERT_EQ(b64.Base64Decoder(testo, ritorno), 0);
        ASSERT_EQ(ritorno, dati) << n;
    }
}

TEST(Base64Test, LineBreaksBlanksAndForeignCharactersAreDropped)
{
    clsBase64 b64;
    // Long enough for the filter to work through it in several blocks.
    const QByteArray dati = casuali(40001, 42);
    const QByteArray testo = dati.toBase64();
    for (qsizetype passo : {1, 3, 4, 76, 4093}) {
        for (const QByteArray &sep : {QByteArray("\r\n"), QByteArray(" \t"), QByteArray("\0\x80\xff!", 4)}) {
            QByteArray ritorno;
            ASSERT_EQ(b64.Base64Decoder(spezza(testo, passo, sep), ritorno), 0) << passo;
            ASSERT_EQ(ritorno, dati) << passo;
        }
    }
    // A character outside Latin-1 turns into "?", which the filter drops like any other.
    QByteArray ritorno;
    EXPECT_EQ(b64.Base64DecoderString(QStringLiteral("\r\n Zm9v\u20acYmFy \r\n"), ritorno), 0);
    EXPECT_EQ(ritorno, QByteArray("foobar"));
}

TEST(Base64Test, MalformedTextFailsAndLeavesTheOutputAlone)
{
    clsBase64 b64;
    for (const char *malformato : {"Z", "Zm9", "Zm9vY", "Zm9vY\r\nm", "Zg==Zm8=", "====", "A===", "Zm=v", "=Zm9"}) {
        QByteArray dati = Invariato;
        EXPECT_EQ(b64.Base64Decoder(QByteArray(malformato), dati), -1) << malformato;
        EXPECT_EQ(dati, Invariato) << malformato;
    }
    // Only what survives the filter counts.
    QByteArray dati;
    EXPECT_EQ(b64.Base64Decoder(QByteArray("Zm9v.-_\r\n"), dati), 0);
    EXPECT_EQ(dati, QByteArray("foo"));
}

TEST(Base64Test, OutputArraysAreResizedWhateverTheyHeldBefore)
{
    clsBase64 b64;
    const QByteArray grande = casuali(30000, 5);
    QByteArray uscita;
    b64.Base64Encoder(grande, uscita);
    const QByteArray copia = uscita;
    EXPECT_EQ(b64.Base64Encoder(QByteArray("fo"), uscita), 4);
    EXPECT_EQ(uscita, QByteArray("Zm8="));
    EXPECT_EQ(copia, grande.toBase64()) << "a copy of the earlier result must not change";
    EXPECT_EQ(b64.Base64Decoder(copia, uscita), 0);
    EXPECT_EQ(b64.Base64Decoder(QByteArray("Zm9vYg=="), uscita), 0);
    EXPECT_EQ(uscita, QByteArray("foob"));

    // Input and output may be one and the same array.
    QByteArray stesso = grande;
    b64.Base64Encoder(stesso, stesso);
    EXPECT_EQ(stesso, grande.toBase64());
    EXPECT_EQ(b64.Base64Decoder(stesso, stesso), 0);
    EXPECT_EQ(stesso, grande);
}

TEST(Base64MimeTest, TheBoundaryIsFoundInAnyCaseAndTheLastPartWithDataWins)
{
    const QByteArray primo = casuali(300, 1);
    const QByteArray secondo = casuali(500, 2);
    auto blocco = [](const QByteArray &dati) { return QString::fromLatin1(spezza(dati.toBase64(), 76, "\r\n")); };
    for (const QString &parametro : {QStringLiteral("boundary=\"=_b 42\""), QStringLiteral("BOUNDARY= \"=_b 42\" ")}) {
        const QString messaggio =
            QStringLiteral("Content-Type: multipart/mixed; ") + parametro +
            QStringLiteral("\r\n\r\npreambolo\r\n--=_b 42\r\nContent-Type: application/zip; name=\"C.zip\"\r\n\r\n") +
            blocco(primo) + QStringLiteral("\r\n--=_b 42\r\n\r\n") + blocco(secondo) +
            QStringLiteral("--=_b 42\r\nA: b\r\n\r\ntesto breve\r\n--=_b 42--\r\n");
        QByteArray dati;
        EXPECT_EQ(clsBase64().Base64DecoderStringMIME(messaggio, dati), 0);
        EXPECT_EQ(dati, secondo) << qPrintable(parametro);
    }
    // Without a boundary the whole text is the part; its data end at the next "--".
    QByteArray dati;
    EXPECT_EQ(clsBase64().Base64DecoderStringMIME(blocco(primo) + QStringLiteral("--firma ! !\r\n"), dati), 0);
    EXPECT_EQ(dati, primo);
    // A malformed part is an error and keeps what the earlier parts gave.
    QString rotto = blocco(secondo);
    rotto.remove(10, 1);
    EXPECT_EQ(clsBase64().Base64DecoderStringMIME(QStringLiteral("boundary=B\n--B\n\n") + blocco(primo) +
                                                      QStringLiteral("\n--B\n\n") + rotto + QStringLiteral("\n--B--\n"),
                                                  dati),
              -1);
    EXPECT_EQ(dati, primo);
}

TEST(Base64MimeTest, ABlockWithoutLineBreakOrWithPaddingInItsOnlyLineYieldsNothing)
{
    clsBase64 b64;
    QByteArray dati = Invariato;
    EXPECT_EQ(b64.Base64DecoderStringMIME(QString::fromLatin1(casuali(300, 3).toBase64()), dati), 0);
    EXPECT_EQ(dati, Invariato);
    // A data line with "=" reads as a header.
    const QString corta = QString::fromLatin1(QByteArray(40, 'x').toBase64()) + QStringLiteral("\r\n");
    ASSERT_GT(corta.size(), 52);
    EXPECT_EQ(b64.Base64DecoderStringMIME(corta, dati), 0);
    EXPECT_EQ(dati, Invariato);
}

class Base64FileTest : public ::testing::Test
{
protected:
    QString percorso(const char *nome) const { return m_dir.filePath(QString::fromLatin1(nome)); }
    // Nothing but the expected files: no temporary file left over.
    QStringList contenuto() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    // Encodes and decodes `dati` through files, also as line-broken text with noise at its end.
    void andataERitorno(const QByteArray &dati)
    {
        ASSERT_TRUE(scrivi(percorso("dati.bin"), dati));
        ASSERT_TRUE(m_b64.EncodeFile(percorso("dati.bin"), percorso("dati.b64")));
        ASSERT_EQ(leggi(percorso("dati.b64")), dati.toBase64()) << dati.size();
        ASSERT_TRUE(m_b64.DecodeFile(percorso("dati.b64"), percorso("ritorno.bin")));
        ASSERT_EQ(leggi(percorso("ritorno.bin")), dati) << dati.size();
        ASSERT_TRUE(scrivi(percorso("righe.b64"), spezza(dati.toBase64(), 64, "\r\n") + " \r\n"));
        ASSERT_TRUE(m_b64.DecodeFile(percorso("righe.b64"), percorso("ritorno.bin")));
        ASSERT_EQ(leggi(percorso("ritorno.bin")), dati) << dati.size();
    }

    QTemporaryDir m_dir;
    clsBase64 m_b64;
};

TEST_F(Base64FileTest, FilesOfEverySizeRoundTrip)
{
    for (qsizetype n = 0; n <= 4096; n += (n < 80 ? 1 : 61)) {
        andataERitorno(casuali(n, static_cast<quint32>(n)));
    }
    // Files are converted in blocks of 768 KiB of data, 1 MiB of text: sizes about their ends.
    constexpr qsizetype blocco = 3 * 256 * 1024;
    for (qsizetype n : {blocco - 1, blocco, blocco + 1, qsizetype{5 * 1000 * 1000 + 2}}) {
        andataERitorno(casuali(n, static_cast<quint32>(n)));
    }
    EXPECT_EQ(contenuto(), QStringList({QStringLiteral("dati.b64"), QStringLiteral("dati.bin"),
                                        QStringLiteral("righe.b64"), QStringLiteral("ritorno.bin")}));
}

TEST_F(Base64FileTest, AFailedDecodeLeavesNoDestination)
{
    QByteArray lungo = casuali(3 * 1000 * 1000, 8).toBase64();
    lungo.insert(lungo.size() - 100, "=="); // malformed only after blocks that decoded well
    for (const QByteArray &rotto : {QByteArray("Zm9vYmFy\r\nZm9"), lungo}) {
        ASSERT_TRUE(scrivi(percorso("vecchio.zip"), "contenuto di prima"));
        ASSERT_TRUE(scrivi(percorso("rotto.b64"), rotto));
        EXPECT_FALSE(m_b64.DecodeFile(percorso("rotto.b64"), percorso("vecchio.zip")));
        EXPECT_EQ(contenuto(), QStringList{QStringLiteral("rotto.b64")});
    }
}

TEST_F(Base64FileTest, UnreadableSourcesAndUnwritableDestinationsFailCleanly)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("cartella")));
    for (const char *sorgente : {"manca.bin", "cartella"}) {
        ASSERT_TRUE(scrivi(percorso("uscita"), "x"));
        EXPECT_FALSE(m_b64.EncodeFile(percorso(sorgente), percorso("uscita")));
        EXPECT_FALSE(QFile::exists(percorso("uscita"))) << "the destination is deleted first";
        EXPECT_FALSE(m_b64.DecodeFile(percorso(sorgente), percorso("uscita")));
    }
    ASSERT_TRUE(scrivi(percorso("dati.bin"), casuali(100, 3)));
    EXPECT_FALSE(m_b64.EncodeFile(percorso("dati.bin"), percorso("manca/dati.b64")));
    // A folder in the destination's place cannot be replaced by a file.
    EXPECT_FALSE(m_b64.EncodeFile(percorso("dati.bin"), percorso("cartella")));
    EXPECT_EQ(contenuto(), QStringList{QStringLiteral("dati.bin")});
}
