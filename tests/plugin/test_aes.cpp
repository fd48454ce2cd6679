#include "Rijndael256.h"

#include <QByteArray>

#include <gtest/gtest.h>

namespace {

QByteArray esadecimale(const char *testo)
{
    return QByteArray::fromHex(QByteArray(testo));
}

} // namespace

TEST(Rijndael256Test, PublishedVectorsOfTheWideBlock)
{
    // Nb = 8, Nk = 8: the published vector that widens the example of FIPS-197, appendix B.
    const char *const vettori[][3] = {
        {"2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe",
         "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
         "a49406115dfb30a40418aafa4869b7c6a886ff31602a7dd19c889dc64f7e4e7a"},
    };
    for (const auto &[chiave, chiaro, cifrato] : vettori) {
        Rijndael256::Chiave k{};
        const QByteArray kb = esadecimale(chiave);
        std::copy(kb.begin(), kb.end(), k.begin());
        const Rijndael256 cifrario(k);
        QByteArray blocco = esadecimale(chiaro);
        cifrario.cifra(Rijndael256::Blocco(reinterpret_cast<uchar *>(blocco.data()), Rijndael256::Byte));
        EXPECT_EQ(blocco.toHex(), QByteArray(cifrato));
        cifrario.decifra(Rijndael256::Blocco(reinterpret_cast<uchar *>(blocco.data()), Rijndael256::Byte));
        EXPECT_EQ(blocco.toHex(), QByteArray(chiaro));
    }
}
