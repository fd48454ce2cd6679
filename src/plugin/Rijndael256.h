#pragma once

#include <QtGlobal>

#include <array>
#include <span>

// Rijndael with a 256-bit block and a 256-bit key: eight columns of state, eight key words,
// 14 rounds, rows shifted by 0, 1, 3 and 4 columns. The S-boxes and the multiplication tables of
// MixColumns are worked out from the field GF(2^8) when an instance is made, the round keys from
// the key given.
//
// One block at a time, in place; the chaining of blocks is the caller's. This is the engine of
// clsAES and is not meant for anything else.
class Rijndael256
{
public:
    static constexpr qsizetype Byte = 32;
    using Chiave = std::array<uchar, Byte>;
    using Blocco = std::span<uchar, Byte>;

    explicit Rijndael256(const Chiave &chiave);

    void cifra(Blocco blocco) const;
    void decifra(Blocco blocco) const;

private:
    using Tabella = std::array<uchar, 256>;
    static constexpr int Round = 14;

    void costruisciTabelle();
    void espandiChiave(const Chiave &chiave);
    void aggiungiChiave(Blocco stato, int round) const;
    void mescolaColonne(Blocco stato) const;
    void mescolaColonneInversa(Blocco stato) const;

    Tabella m_sbox{};
    Tabella m_sboxInversa{};
    // Products by the coefficients of MixColumns and of its inverse.
    Tabella m_per2{};
    Tabella m_per3{};
    Tabella m_per9{};
    Tabella m_per11{};
    Tabella m_per13{};
    Tabella m_per14{};
    // One key per round and one for the start, each laid out as the state it is added to.
    std::array<std::array<uchar, Byte>, Round + 1> m_chiavi{};
};
