#include "Rijndael256.h"

#include <algorithm>

namespace {

// The state is kept as the bytes come: byte 4 * c + r is row r of column c.
constexpr int Colonne = 8;
constexpr int Righe = 4;
// How far each row moves left in ShiftRows with eight columns.
constexpr std::array<int, Righe> Spostamento = {0, 1, 3, 4};

uchar perX(uchar a)
{
    return static_cast<uchar>((a << 1) ^ ((a & 0x80) != 0 ? 0x1b : 0x00));
}

uchar ruota(uchar b, int n)
{
    return static_cast<uchar>((b << n) | (b >> (8 - n)));
}

} // namespace

Rijndael256::Rijndael256(const Chiave &chiave)
{
    costruisciTabelle();
    espandiChiave(chiave);
}

void Rijndael256::costruisciTabelle()
{
    // Powers and logarithms of the generator x + 1.
    std::array<uchar, 255> potenza{};
    std::array<int, 256> logaritmo{};
    uchar p = 1;
    for (int i = 0; i < 255; ++i) {
        potenza[static_cast<std::size_t>(i)] = p;
        logaritmo[p] = i;
        p = static_cast<uchar>(p ^ perX(p));
    }
    const auto prodotto = [&](uchar a, int coefficiente) -> uchar {
        if (a == 0) {
            return 0;
        }
        const int l = logaritmo[a] + logaritmo[static_cast<std::size_t>(coefficiente)];
        return potenza[static_cast<std::size_t>(l % 255)];
    };

    for (int x = 0; x < 256; ++x) {
        const auto a = static_cast<uchar>(x);
        // The multiplicative inverse (0 for 0), then the affine map.
        const uchar inverso = a == 0 ? 0 : potenza[static_cast<std::size_t>((255 - logaritmo[a]) % 255)];
        const auto s = static_cast<uchar>(inverso ^ ruota(inverso, 1) ^ ruota(inverso, 2) ^ ruota(inverso, 3) ^
                                          ruota(inverso, 4) ^ 0x63);
        m_sbox[a] = s;
        m_sboxInversa[s] = a;
        m_per2[a] = prodotto(a, 2);
        m_per3[a] = prodotto(a, 3);
        m_per9[a] = prodotto(a, 9);
        m_per11[a] = prodotto(a, 11);
        m_per13[a] = prodotto(a, 13);
        m_per14[a] = prodotto(a, 14);
    }
}

void Rijndael256::espandiChiave(const Chiave &chiave)
{
    // 4-byte words: the key's eight, then each the one eight places back combined with the one before.
    constexpr int Parole = Colonne * (Round + 1);
    std::array<uchar, 4 * Parole> w{};
    std::copy(chiave.begin(), chiave.end(), w.begin());
    uchar costante = 1;
    for (int i = Colonne; i < Parole; ++i) {
        std::array<uchar, 4> t = {w[4 * i - 4], w[4 * i - 3], w[4 * i - 2], w[4 * i - 1]};
        if (i % Colonne == 0) {
            t = {static_cast<uchar>(m_sbox[t[1]] ^ costante), m_sbox[t[2]], m_sbox[t[3]], m_sbox[t[0]]};
            costante = perX(costante);
        } else if (i % Colonne == 4) {
            for (uchar &b : t) {
                b = m_sbox[b];
            }
        }
        for (int j = 0; j < 4; ++j) {
            w[static_cast<std::size_t>(4 * i + j)] = w[static_cast<std::size_t>(4 * (i - Colonne) + j)] ^ t[j];
        }
    }
    for (int r = 0; r <= Round; ++r) {
        std::copy_n(w.begin() + r * Byte, Byte, m_chiavi[static_cast<std::size_t>(r)].begin());
    }
}

void Rijndael256::aggiungiChiave(Blocco stato, int round) const
{
    const auto &chiave = m_chiavi[static_cast<std::size_t>(round)];
    for (qsizetype i = 0; i < Byte; ++i) {
        stato[i] ^= chiave[i];
    }
}

void Rijndael256::mescolaColonne(Blocco stato) const
{
    for (qsizetype c = 0; c < Byte; c += Righe) {
        const uchar a0 = stato[c];
        const uchar a1 = stato[c + 1];
        const uchar a2 = stato[c + 2];
        const uchar a3 = stato[c + 3];
        stato[c] = m_per2[a0] ^ m_per3[a1] ^ a2 ^ a3;
        stato[c + 1] = a0 ^ m_per2[a1] ^ m_per3[a2] ^ a3;
        stato[c + 2] = a0 ^ a1 ^ m_per2[a2] ^ m_per3[a3];
        stato[c + 3] = m_per3[a0] ^ a1 ^ a2 ^ m_per2[a3];
    }
}

void Rijndael256::mescolaColonneInversa(Blocco stato) const
{
    for (qsizetype c = 0; c < Byte; c += Righe) {
        const uchar a0 = stato[c];
        const uchar a1 = stato[c + 1];
        const uchar a2 = stato[c + 2];
        const uchar a3 = stato[c + 3];
        stato[c] = m_per14[a0] ^ m_per11[a1] ^ m_per13[a2] ^ m_per9[a3];
        stato[c + 1] = m_per9[a0] ^ m_per14[a1] ^ m_per11[a2] ^ m_per13[a3];
        stato[c + 2] = m_per13[a0] ^ m_per9[a1] ^ m_per14[a2] ^ m_per11[a3];
        stato[c + 3] = m_per11[a0] ^ m_per13[a1] ^ m_per9[a2] ^ m_per14[a3];
    }
}

void Rijndael256::cifra(Blocco blocco) const
{
    std::array<uchar, Byte> prima{};
    aggiungiChiave(blocco, 0);
    for (int round = 1; round <= Round; ++round) {
        // SubBytes and ShiftRows in one pass: row r of column c takes the byte c + shift further on.
        std::copy(blocco.begin(), blocco.end(), prima.begin());
        for (int c = 0; c < Colonne; ++c) {
            for (int r = 0; r < Righe; ++r) {
                const int da = (c + Spostamento[static_cast<std::size_t>(r)]) % Colonne;
                blocco[Righe * c + r] = m_sbox[prima[static_cast<std::size_t>(Righe * da + r)]];
            }
        }
        if (round != Round) {
            mescolaColonne(blocco);
        }
        aggiungiChiave(blocco, round);
    }
}

void Rijndael256::decifra(Blocco blocco) const
{
    std::array<uchar, Byte> prima{};
    aggiungiChiave(blocco, Round);
    for (int round = Round - 1; round >= 0; --round) {
        std::copy(blocco.begin(), blocco.end(), prima.begin());
        for (int c = 0; c < Colonne; ++c) {
            for (int r = 0; r < Righe; ++r) {
                const int a = (c + Spostamento[static_cast<std::size_t>(r)]) % Colonne;
                blocco[Righe * a + r] = m_sboxInversa[prima[static_cast<std::size_t>(Righe * c + r)]];
            }
        }
        aggiungiChiave(blocco, round);
        if (round != 0) {
            mescolaColonneInversa(blocco);
        }
    }
}
