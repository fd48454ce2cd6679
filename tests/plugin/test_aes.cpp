#include "Module1.h"
#include "Rijndael256.h"
#include "Segreti.h"
#include "StampaQt.h"
#include "clsAES.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>
#include <numeric>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

Rijndael256::Blocco blocco(QByteArray &dati, qsizetype da = 0)
{
    return Rijndael256::Blocco(reinterpret_cast<uchar *>(dati.data()) + da, Rijndael256::Byte);
}

// Every 32-byte block through the raw cipher on its own, with the key laid out as the plug-in does:
// the pass text's UTF-16LE bytes, then zeros.
QByteArray perBlocchi(QByteArray dati, bool cifra)
{
    Rijndael256::Chiave chiave{};
    const QString pass = lanvera::PassAES();
    for (qsizetype i = 0; i < pass.size(); ++i) {
        chiave[static_cast<std::size_t>(2 * i)] = static_cast<uchar>(pass[i].unicode());
    }
    const Rijndael256 cifrario(chiave);
    for (qsizetype i = 0; i + Rijndael256::Byte <= dati.size(); i += Rijndael256::Byte) {
        cifra ? cifrario.cifra(blocco(dati, i)) : cifrario.decifra(blocco(dati, i));
    }
    return dati;
}

// A frame of 32 bytes whose length field says `lunghezza`, the rest "a" as UTF-16LE.
QString cornice(quint32 lunghezza)
{
    QByteArray chiaro = QByteArray("a\0", 2).repeated(16);
    qToLittleEndian(lunghezza, chiaro.data());
    return QString::fromLatin1(perBlocchi(chiaro, true).toBase64());
}

QByteArray leggi(const QString &percorso)
{
    QFile f(percorso);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

bool scrivi(const QString &percorso, const QByteArray &dati)
{
    QFile f(percorso);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(dati) == dati.size();
}

} // namespace

TEST(Rijndael256Test, PublishedVectorOfTheWideBlock)
{
    // Nb = 8, Nk = 8: the published vector that widens the example of FIPS-197, appendix B.
    const QByteArray k = QByteArray::fromHex("2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe");
    Rijndael256::Chiave chiave{};
    std::copy(k.begin(), k.end(), chiave.begin());
    const Rijndael256 cifrario(chiave);
    QByteArray dati = QByteArray::fromHex("3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8");
    cifrario.cifra(blocco(dati));
    EXPECT_EQ(dati.toHex(), "a49406115dfb30a40418aafa4869b7c6a886ff31602a7dd19c889dc64f7e4e7a");
    cifrario.decifra(blocco(dati));
    EXPECT_EQ(dati.toHex(), "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8");
}

TEST(AesTextTest, TextsRoundTripInWholeBlocksOfBase64)
{
    const std::pair<QString, qsizetype> casi[] = {{u""_s, 44},
                                                  {u"Password"_s, 44},
                                                  {u"abcdefghijklmn"_s, 44},
                                                  {u"abcdefghijklmno"_s, 88},
                                                  {QString(30, u'x'), 88},
                                                  {QString(31, u'x'), 128},
                                                  {u"Perché € è così"_s, 88},
                                                  {u"ß\U0001FA7A日本"_s, 44}};
    for (const auto &[testo, caratteri] : casi) {
        const QString cifrato = clsAES().EncryptStr(testo);
        EXPECT_EQ(cifrato.size(), caratteri) << testo.toStdString();
        EXPECT_EQ(clsAES().EncryptStr(testo), cifrato) << "another instance, the same cipher text";
        clsAES aes;
        EXPECT_EQ(aes.DecryptStr(cifrato), testo);
        // Line breaks and other characters outside the alphabet are skipped.
        EXPECT_EQ(aes.DecryptStr(u" \r\n"_s + cifrato.left(20) + u"\r\n\u00e8"_s + cifrato.mid(20)), testo);
    }
    // The stored password: none stays none.
    EXPECT_EQ(Module1::CifraPassword(u""_s), u""_s);
    EXPECT_EQ(Module1::CifraPassword(u"Segreta1"_s), clsAES().EncryptStr(u"Segreta1"_s));
}

TEST(AesTextTest, EachBlockHoldsItsShareOfTheFrameAlone)
{
    const QString testo = u"abcdefghijklmn\u00e0"_s;
    QByteArray atteso("\x1e\0\0\0", 4);
    for (const QChar c : testo) {
        atteso += static_cast<char>(c.unicode());
        atteso += '\0';
    }
    atteso += QByteArray(64 - atteso.size(), '\0');
    EXPECT_EQ(perBlocchi(QByteArray::fromBase64(clsAES().EncryptStr(testo).toLatin1()), false).toHex(), atteso.toHex());
}

TEST(AesTextTest, WhatIsNoCipherTextGivesEmptyText)
{
    const QString buono = clsAES().EncryptStr(u"Password"_s);
    for (const QString &cattivo :
         {u""_s, u"QQ="_s, u"AAAA"_s, QString::fromLatin1(QByteArray(31, 'x').toBase64()),
          QString::fromLatin1(QByteArray(33, 'x').toBase64()), buono.mid(4), buono.left(43), u"@@@@@@@@"_s}) {
        EXPECT_EQ(clsAES().DecryptStr(cattivo), QString()) << cattivo.toStdString();
    }
    // The length field against the 28 bytes that follow it; an odd last byte is dropped.
    const std::pair<quint32, QString> cornici[] = {
        {28, QString(14, u'a')}, {3, u"a"_s}, {0, u""_s}, {29, u""_s}, {0x80000000u, u""_s}};
    for (const auto &[lunghezza, testo] : cornici) {
        EXPECT_EQ(clsAES().DecryptStr(cornice(lunghezza)), testo) << lunghezza;
    }
}

TEST(AesFileTest, FilesRoundTripByteForByte)
{
    QTemporaryDir dir;
    const QString chiaro = dir.filePath(u"chiaro"_s);
    const QString cifrato = dir.filePath(u"cifrato"_s);
    const QString ritorno = dir.filePath(u"ritorno"_s);
    QByteArray tutti(256, '\0');
    std::iota(tutti.begin(), tutti.end(), '\0');
    clsAES aes;
    for (const QByteArray &dati : {QByteArray(), QByteArray("x"), tutti.repeated(3)}) {
        ASSERT_TRUE(scrivi(chiaro, dati));
        ASSERT_TRUE(aes.EncryptFile(chiaro, cifrato, true));
        EXPECT_EQ(leggi(cifrato).size(), (dati.size() * 2 + 4 + 31) / 32 * 32);
        // The same frame as a text's, without the Base64.
        EXPECT_EQ(aes.DecryptStr(QString::fromLatin1(leggi(cifrato).toBase64())), QString::fromLatin1(dati));
        EXPECT_EQ(aes.DecryptFileStr(cifrato), QString::fromLatin1(dati));
        ASSERT_TRUE(aes.DecryptFile(cifrato, ritorno, true));
        EXPECT_EQ(leggi(ritorno), dati);
    }
}

TEST(AesFileTest, AnExistingOutputIsReplacedOnlyWhenAllowed)
{
    QTemporaryDir dir;
    const QString chiaro = dir.filePath(u"chiaro"_s);
    const QString uscita = dir.filePath(u"uscita"_s);
    const QString manca = dir.filePath(u"manca"_s);
    ASSERT_TRUE(scrivi(chiaro, "dati del medico") && scrivi(uscita, "contenuto di prima"));
    clsAES aes;
    EXPECT_FALSE(aes.EncryptFile(chiaro, uscita, false));
    EXPECT_FALSE(aes.DecryptFile(chiaro, uscita, false));
    EXPECT_EQ(leggi(uscita), QByteArray("contenuto di prima"));

    ASSERT_TRUE(aes.EncryptFile(chiaro, uscita, true));
    ASSERT_TRUE(aes.DecryptFile(uscita, chiaro, true));
    EXPECT_EQ(leggi(chiaro), QByteArray("dati del medico"));

    EXPECT_FALSE(aes.EncryptFile(manca, uscita, true));
    EXPECT_FALSE(aes.DecryptFile(manca, uscita, true));
    EXPECT_TRUE(QFile::exists(uscita));
    EXPECT_EQ(aes.DecryptFileStr(manca), QString());
    // Plain text in whole blocks is no cipher text either.
    ASSERT_TRUE(scrivi(manca, QByteArray(64, 'z')));
    EXPECT_EQ(aes.DecryptFileStr(manca), QString());
}

TEST(Module1Test, AgeCountsWholeYearsToTheBirthday)
{
    const QDate oggi(2026, 12, 7);
    const struct
    {
        const char *nascita;
        int eta;
    } casi[] = {{"07/12/1980", 46}, {"08/12/1980", 45}, {"31/01/2000", 26},  {"29/02/2024", 2},
                {"07/12/2026", 0},  {"01/01/2030", 0},  {"non una data", 0}, {"", 0}};
    for (const auto &c : casi) {
        EXPECT_EQ(Module1::EtaDaData(QString::fromLatin1(c.nascita), oggi), c.eta) << c.nascita;
    }
}
