#include "clsBase64.h"

#include <QFile>
#include <QFileInfo>
#include <QStringView>
#include <QTemporaryFile>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr char Alfabeto[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uchar Riempimento = '=';

// Two output characters for every 12 input bits: one look-up writes half a group.
constexpr std::array<char, 2 * 4096> Coppie = [] {
    std::array<char, 2 * 4096> t{};
    for (int i = 0; i < 4096; ++i) {
        t[static_cast<std::size_t>(2 * i)] = Alfabeto[i >> 6];
        t[static_cast<std::size_t>(2 * i + 1)] = Alfabeto[i & 63];
    }
    return t;
}();

// The characters that the decoder's filter keeps: the alphabet and the padding.
constexpr std::array<uchar, 256> Tenuto = [] {
    std::array<uchar, 256> t{};
    for (int i = 0; i < 64; ++i) {
        t[static_cast<uchar>(Alfabeto[i])] = 1;
    }
    t[Riempimento] = 1;
    return t;
}();

// A character's six bits already moved to their place in a 24-bit group, one table per position
// in the group of four. Anything outside the alphabet, padding included, carries Invalido, which no
// shift of valid bits can reach, so one OR over the groups tells whether all was well.
constexpr quint32 Invalido = 0x80000000u;
using TabellaDecodifica = std::array<quint32, 256>;

constexpr TabellaDecodifica tabellaDecodifica(int spostamento)
{
    TabellaDecodifica t{};
    for (auto &v : t) {
        v = Invalido;
    }
    for (int i = 0; i < 64; ++i) {
        t[static_cast<uchar>(Alfabeto[i])] = static_cast<quint32>(i) << spostamento;
    }
    return t;
}

constexpr TabellaDecodifica D0 = tabellaDecodifica(18);
constexpr TabellaDecodifica D1 = tabellaDecodifica(12);
constexpr TabellaDecodifica D2 = tabellaDecodifica(6);
constexpr TabellaDecodifica D3 = tabellaDecodifica(0);

// Blocks of the file conversions: a multiple of three bytes, and the text they make.
constexpr qsizetype BloccoDati = 3 * 256 * 1024;
constexpr qsizetype BloccoTesto = BloccoDati / 3 * 4;
// The smallest block, for small files and for files that do not tell their size: a multiple of
// both three and four.
constexpr qsizetype BloccoMinimo = 12 * 1024;
// Kept characters decoded at a time when the text must be filtered first.
constexpr qsizetype BloccoFiltro = 16 * 1024;

// Encodes n bytes; only the last call of a run may have n not a multiple of three.
char *codifica(const uchar *s, qsizetype n, char *o)
{
    for (qsizetype g = n / 3; g > 0; --g) {
        const quint32 v = (quint32{s[0]} << 16) | (quint32{s[1]} << 8) | s[2];
        std::memcpy(o, &Coppie[(v >> 12) * 2], 2);
        std::memcpy(o + 2, &Coppie[(v & 0xfff) * 2], 2);
        s += 3;
        o += 4;
    }
    switch (n % 3) {
    case 1: {
        const quint32 v = quint32{s[0]} << 16;
        o[0] = Alfabeto[v >> 18];
        o[1] = Alfabeto[(v >> 12) & 63];
        o[2] = Riempimento;
        o[3] = Riempimento;
        return o + 4;
    }
    case 2: {
        const quint32 v = (quint32{s[0]} << 16) | (quint32{s[1]} << 8);
        o[0] = Alfabeto[v >> 18];
        o[1] = Alfabeto[(v >> 12) & 63];
        o[2] = Alfabeto[(v >> 6) & 63];
        o[3] = Riempimento;
        return o + 4;
    }
    default:
        return o;
    }
}

// Groups of four kept characters, none of them the padded last group. Returns the error bits.
quint32 decodificaGruppi(const uchar *s, qsizetype gruppi, uchar *o)
{
    quint32 errore = 0;
    // One four-byte store per group, its last byte overwritten by the next group; the last group
    // is written byte by byte so that nothing lands past the output.
    for (; gruppi > 1; --gruppi) {
        const quint32 v = D0[s[0]] | D1[s[1]] | D2[s[2]] | D3[s[3]];
        errore |= v;
        const quint32 be = qToBigEndian(v << 8);
        std::memcpy(o, &be, 4);
        s += 4;
        o += 3;
    }
    if (gruppi == 1) {
        const quint32 v = D0[s[0]] | D1[s[1]] | D2[s[2]] | D3[s[3]];
        errore |= v;
        o[0] = static_cast<uchar>(v >> 16);
        o[1] = static_cast<uchar>(v >> 8);
        o[2] = static_cast<uchar>(v);
    }
    return errore;
}

// How many "=" end the text whose last kept characters are s[0], s[1].
int riempimento(const uchar *ultimiDue)
{
    if (ultimiDue[1] != Riempimento) {
        return 0;
    }
    return ultimiDue[0] == Riempimento ? 2 : 1;
}

// The text's last group, decoded apart: "==" leaves one byte, "=" two, none three.
quint32 decodificaUltimo(const uchar *s, int p, uchar *o)
{
    if (p == 0) {
        return decodificaGruppi(s, 1, o);
    }
    const quint32 v = D0[s[0]] | D1[s[1]] | (p == 1 ? D2[s[2]] : 0);
    o[0] = static_cast<uchar>(v >> 16);
    if (p == 1) {
        o[1] = static_cast<uchar>(v >> 8);
    }
    return v;
}

// True when every character is in the alphabet: one OR over table entries, no branch per character.
bool soloAlfabeto(const uchar *s, qsizetype n)
{
    quint32 a = 0;
    quint32 b = 0;
    qsizetype i = 0;
    // Eight characters per load; the shifts also keep compilers from turning the look-ups into
    // slow vector gathers.
    for (; i + 8 <= n; i += 8) {
        quint64 w;
        std::memcpy(&w, s + i, 8);
        a |= D0[w & 0xff] | D0[(w >> 8) & 0xff] | D0[(w >> 16) & 0xff] | D0[(w >> 24) & 0xff];
        b |= D0[(w >> 32) & 0xff] | D0[(w >> 40) & 0xff] | D0[(w >> 48) & 0xff] | D0[w >> 56];
    }
    for (; i < n; ++i) {
        a |= D0[s[i]];
    }
    return ((a | b) & Invalido) == 0;
}

// Text that needs no filtering: whole groups of the alphabet, "=" only as its last one or two.
bool testoPulito(const uchar *s, qsizetype n)
{
    if (n % 4 != 0) {
        return false;
    }
    if (n == 0) {
        return true;
    }
    const uchar penultimo = s[n - 2];
    const uchar ultimo = s[n - 1];
    const bool inAlfabeto1 = (D0[penultimo] & Invalido) == 0;
    const bool inAlfabeto2 = (D0[ultimo] & Invalido) == 0;
    const bool coda =
        (inAlfabeto1 && (inAlfabeto2 || ultimo == Riempimento)) || (penultimo == Riempimento && ultimo == Riempimento);
    return coda && soloAlfabeto(s, n - 2);
}

// Copies the kept characters of in[*i..n) to out[k..capienza); returns the new k.
qsizetype filtra(const uchar *in, qsizetype n, qsizetype *i, uchar *out, qsizetype k, qsizetype capienza)
{
    qsizetype j = *i;
    while (j < n && k < capienza) {
        const uchar c = in[j++];
        out[k] = c;
        k += Tenuto[c];
    }
    *i = j;
    return k;
}

// The output array, sized for n bytes: the caller's own buffer when it is not shared and already
// large enough (a caller that converts in a loop never pays for fresh memory), else a new one.
char *preparaUscita(QByteArray &uscita, QByteArray &nuova, qsizetype n, const QByteArray &ingresso)
{
    const bool riusabile = uscita.isDetached() && uscita.capacity() >= n && uscita.constData() != ingresso.constData();
    if (riusabile) {
        uscita.resize(n);
        return uscita.data();
    }
    nuova = QByteArray(n, Qt::Uninitialized);
    return nuova.data();
}

// Writes the destination as a temporary file beside it, renamed over its name only when whole.
class FileDestinazione
{
public:
    explicit FileDestinazione(const QString &destinazione)
        : m_destinazione(destinazione), m_file(QFileInfo(destinazione).absoluteFilePath() + QStringLiteral(".XXXXXX"))
    {}

    bool apri() { return m_file.open(); }
    bool scrivi(const char *dati, qsizetype n) { return m_file.write(dati, n) == n; }
    bool completa()
    {
        if (!m_file.flush()) {
            return false;
        }
        m_file.close();
        if (m_file.error() != QFileDevice::NoError || !QFile::rename(m_file.fileName(), m_destinazione)) {
            return false;
        }
        m_file.setAutoRemove(false);
        return true;
    }

private:
    QString m_destinazione;
    QTemporaryFile m_file; // removed by its destructor unless completed
};

// Reads until the buffer is full or the file ends; -1 on a read error.
qint64 leggiBlocco(QFile &file, char *buffer, qint64 capienza)
{
    qint64 pieno = 0;
    while (pieno < capienza) {
        const qint64 letti = file.read(buffer + pieno, capienza - pieno);
        if (letti < 0) {
            return -1;
        }
        if (letti == 0) {
            break;
        }
        pieno += letti;
    }
    return pieno;
}

bool senzaSeparatori(QStringView riga)
{
    for (const QChar c : riga) {
        switch (c.unicode()) {
        case u';':
        case u' ':
        case u':':
        case u'=':
        case u'"':
            return false;
        default:
            break;
        }
    }
    return true;
}

} // namespace

qint32 clsBase64::Base64Encoder(const QByteArray &dati, QByteArray &testo) const
{
    const qsizetype n = dati.size();
    const qsizetype lunghezza = (n + 2) / 3 * 4;
    if (lunghezza > std::numeric_limits<qint32>::max()) {
        return -1;
    }
    QByteArray nuova;
    char *o = preparaUscita(testo, nuova, lunghezza, dati);
    codifica(reinterpret_cast<const uchar *>(dati.constData()), n, o);
    if (!nuova.isNull()) {
        testo = std::move(nuova);
    }
    return static_cast<qint32>(lunghezza);
}

qint32 clsBase64::Base64EncoderString(const QByteArray &dati, QString &testo) const
{
    QByteArray ascii;
    const qint32 n = Base64Encoder(dati, ascii);
    if (n >= 0) {
        testo = QString::fromLatin1(ascii);
    }
    return n;
}

qint32 clsBase64::Base64Decoder(const QByteArray &testo, QByteArray &dati) const
{
    const auto *in = reinterpret_cast<const uchar *>(testo.constData());
    const qsizetype n = testo.size();
    QByteArray nuova;

    if (testoPulito(in, n)) {
        // Clean text, as every package is: decoded where it lies.
        const int p = n == 0 ? 0 : riempimento(in + n - 2);
        const qsizetype gruppi = n / 4;
        const qsizetype interi = p == 0 ? gruppi : gruppi - 1;
        auto *o = reinterpret_cast<uchar *>(preparaUscita(dati, nuova, gruppi * 3 - p, testo));
        decodificaGruppi(in, interi, o);
        if (p != 0) {
            decodificaUltimo(in + 4 * interi, p, o + 3 * interi);
        }
        if (!nuova.isNull()) {
            dati = std::move(nuova);
        }
        return 0;
    }

    // Anything else is judged whole first, so that malformed text never touches the output: how many
    // characters the filter keeps, and where the "=" stand among them.
    qsizetype t = 0;
    qsizetype uguali = 0;
    qsizetype primoUguale = -1;
    for (qsizetype i = 0; i < n; ++i) {
        const uchar c = in[i];
        if (c == Riempimento) {
            if (uguali++ == 0) {
                primoUguale = t;
            }
        }
        t += Tenuto[c];
    }
    // "=" only as the last one or two kept characters.
    const bool riempimentoValido =
        uguali == 0 || (uguali == 1 && primoUguale == t - 1) || (uguali == 2 && primoUguale == t - 2);
    if (t % 4 != 0 || !riempimentoValido) {
        return -1;
    }
    const int p = static_cast<int>(uguali);
    const qsizetype gruppi = t / 4;
    const qsizetype interi = p == 0 ? gruppi : gruppi - 1;

    auto *o = reinterpret_cast<uchar *>(preparaUscita(dati, nuova, gruppi * 3 - p, testo));
    // Filtered a block at a time into a small buffer; a partial group waits for the next block.
    uchar tenuti[BloccoFiltro];
    quint32 errore = 0;
    qsizetype i = 0;
    qsizetype k = 0;
    qsizetype restanti = interi;
    while (i < n) {
        k = filtra(in, n, &i, tenuti, k, BloccoFiltro);
        const qsizetype ora = std::min(k / 4, restanti);
        errore |= decodificaGruppi(tenuti, ora, o);
        o += 3 * ora;
        restanti -= ora;
        k -= 4 * ora;
        std::memmove(tenuti, tenuti + 4 * ora, static_cast<std::size_t>(k));
    }
    if (p != 0) {
        errore |= decodificaUltimo(tenuti, p, o);
    }
    if ((errore & Invalido) != 0) {
        return -1; // cannot happen after the checks above
    }
    if (!nuova.isNull()) {
        dati = std::move(nuova);
    }
    return 0;
}

qint32 clsBase64::Base64DecoderString(const QString &testo, QByteArray &dati) const
{
    return Base64Decoder(testo.toLatin1(), dati);
}

qint32 clsBase64::Base64DecoderStringMIME(const QString &messaggio, QByteArray &dati) const
{
    QStringList parti;
    const qsizetype parametro = messaggio.indexOf(QStringLiteral("BOUNDARY="), 0, Qt::CaseInsensitive);
    if (parametro < 0) {
        parti << messaggio;
    } else {
        const qsizetype inizio = parametro + 9;
        qsizetype fine = messaggio.indexOf(QLatin1Char('\n'), inizio);
        if (fine < 0) {
            fine = messaggio.size();
        }
        QString confine = messaggio.mid(inizio, fine - inizio);
        confine.remove(QLatin1Char('"'));
        confine.remove(QLatin1Char('\r'));
        // Only blanks are trimmed, as the header writes them.
        qsizetype a = 0;
        qsizetype b = confine.size();
        while (a < b && confine.at(a) == QLatin1Char(' ')) {
            ++a;
        }
        while (b > a && confine.at(b - 1) == QLatin1Char(' ')) {
            --b;
        }
        confine = confine.mid(a, b - a);

        const QStringList pezzi = messaggio.split(QStringLiteral("--") + confine, Qt::KeepEmptyParts);
        // Before the first delimiter is the header, after the last the epilogue.
        for (qsizetype i = 1; i + 1 < pezzi.size(); ++i) {
            parti << pezzi.at(i);
        }
    }

    for (QString &parte : parti) {
        parte.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        qsizetype pos = 0;
        qsizetype inizioDati = -1;
        for (;;) {
            const qsizetype lf = parte.indexOf(QLatin1Char('\n'), pos);
            if (lf < 0) {
                break;
            }
            const QStringView riga = QStringView(parte).mid(pos, lf - pos);
            if (riga.size() > 50 && senzaSeparatori(riga)) {
                inizioDati = pos;
                break;
            }
            pos = lf + 1;
        }
        if (inizioDati < 0) {
            continue;
        }
        qsizetype fineDati = parte.indexOf(QStringLiteral("--"), inizioDati);
        if (fineDati < 0) {
            fineDati = parte.size();
        }
        if (Base64DecoderString(parte.mid(inizioDati, fineDati - inizioDati), dati) != 0) {
            return -1;
        }
    }
    return 0;
}

// The files are converted a block at a time: the same bytes as converting them whole, in bounded
// memory. Whatever fails, the destination stays deleted.
bool clsBase64::EncodeFile(const QString &sourceFileName, const QString &destFileName) const
{
    QFile::remove(destFileName);
    QFile origine(sourceFileName);
    if (!origine.open(QIODevice::ReadOnly)) {
        return false;
    }
    FileDestinazione destinazione(destFileName);
    if (!destinazione.apri()) {
        return false;
    }
    // A small file gets buffers of its own size: a package is far smaller than a block.
    const qsizetype blocco = std::clamp((origine.size() / 3 + 1) * 3, BloccoMinimo, BloccoDati);
    const auto dati = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(blocco));
    const auto testo = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(blocco / 3 * 4));
    for (;;) {
        const qint64 letti = leggiBlocco(origine, dati.get(), blocco);
        if (letti < 0) {
            return false;
        }
        const char *fine = codifica(reinterpret_cast<const uchar *>(dati.get()), letti, testo.get());
        if (!destinazione.scrivi(testo.get(), fine - testo.get())) {
            return false;
        }
        if (letti < blocco) {
            break;
        }
    }
    return destinazione.completa();
}

bool clsBase64::DecodeFile(const QString &sourceFileName, const QString &destFileName) const
{
    QFile::remove(destFileName);
    QFile origine(sourceFileName);
    if (!origine.open(QIODevice::ReadOnly)) {
        return false;
    }
    FileDestinazione destinazione(destFileName);
    if (!destinazione.apri()) {
        return false;
    }
    // Up to 4 kept characters wait from one block to the next, so a block's groups never exceed
    // (blocco + 4) / 4.
    const qsizetype blocco = std::clamp(origine.size() / 4 * 4 + 4, BloccoMinimo, BloccoTesto);
    const auto grezzo = std::make_unique_for_overwrite<uchar[]>(static_cast<std::size_t>(blocco));
    const auto tenuti = std::make_unique_for_overwrite<uchar[]>(static_cast<std::size_t>(blocco + 4));
    const auto dati = std::make_unique_for_overwrite<uchar[]>(static_cast<std::size_t>((blocco + 4) / 4 * 3));
    qsizetype k = 0; // kept characters not yet decoded
    for (;;) {
        const qint64 letti = leggiBlocco(origine, reinterpret_cast<char *>(grezzo.get()), blocco);
        if (letti < 0) {
            return false;
        }
        if (letti == 0) {
            break;
        }
        qsizetype i = 0;
        k = filtra(grezzo.get(), letti, &i, tenuti.get(), k, blocco + 4);
        // The last whole group may be the padded end of the text: it waits until the file ends,
        // and so does a partial group.
        const qsizetype attesa = k % 4 != 0 ? k % 4 : std::min<qsizetype>(4, k);
        const qsizetype gruppi = (k - attesa) / 4;
        if ((decodificaGruppi(tenuti.get(), gruppi, dati.get()) & Invalido) != 0 ||
            !destinazione.scrivi(reinterpret_cast<const char *>(dati.get()), 3 * gruppi)) {
            return false;
        }
        std::memmove(tenuti.get(), tenuti.get() + 4 * gruppi, static_cast<std::size_t>(attesa));
        k = attesa;
    }
    if (k != 0) {
        if (k != 4) {
            return false; // the kept characters are not a multiple of four
        }
        const int p = riempimento(tenuti.get() + 2);
        if ((decodificaUltimo(tenuti.get(), p, dati.get()) & Invalido) != 0 ||
            !destinazione.scrivi(reinterpret_cast<const char *>(dati.get()), 3 - p)) {
            return false;
        }
    }
    return destinazione.completa();
}
