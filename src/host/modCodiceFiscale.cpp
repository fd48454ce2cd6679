#include "modCodiceFiscale.h"

#include <QDate>

#include <array>

using namespace Qt::StringLiterals;

namespace lanvera::host {

namespace {

// Values of the characters in odd positions (1st, 3rd, ...), for 0-9 and then A-Z.
constexpr std::array<int, 10> kDispariCifre = {1, 0, 5, 7, 9, 13, 15, 17, 19, 21};
constexpr std::array<int, 26> kDispariLettere = {1,  0,  5, 7, 9, 13, 15, 17, 19, 21, 2,  4,  18,
                                                 20, 11, 3, 6, 8, 12, 14, 16, 10, 22, 25, 24, 23};
constexpr char16_t kMesi[] = u"ABCDEHLMPRST";

bool eVocale(QChar c)
{
    return c == u'A' || c == u'E' || c == u'I' || c == u'O' || c == u'U';
}

// Upper-case Latin letters only: accented letters lose their accent, everything else goes.
QString soloLettere(const QString &testo)
{
    const QString scomposto = testo.normalized(QString::NormalizationForm_D).toUpper();
    QString lettere;
    lettere.reserve(scomposto.size());
    for (const QChar c : scomposto) {
        if (c >= u'A' && c <= u'Z') {
            lettere.append(c);
        }
    }
    return lettere;
}

} // namespace

QString CodiceNominativo(const QString &testo, bool nome)
{
    const QString lettere = soloLettere(testo);
    QString consonanti;
    QString vocali;
    for (const QChar c : lettere) {
        (eVocale(c) ? vocali : consonanti).append(c);
    }
    if (nome && consonanti.size() >= 4) {
        return QString(consonanti.at(0)) + consonanti.at(2) + consonanti.at(3);
    }
    const QString lettereOrdinate = consonanti + vocali + u"XXX"_s;
    return lettereOrdinate.left(3);
}

QChar CarattereControllo(QStringView primi15)
{
    if (primi15.size() != 15) {
        return {};
    }
    int somma = 0;
    for (qsizetype i = 0; i < 15; ++i) {
        const QChar c = primi15.at(i).toUpper();
        int indice = 0;
        bool cifra = false;
        if (c >= u'0' && c <= u'9') {
            indice = c.unicode() - u'0';
            cifra = true;
        } else if (c >= u'A' && c <= u'Z') {
            indice = c.unicode() - u'A';
        } else {
            return {};
        }
        // Positions are counted from 1, so index 0 is an odd position.
        if (i % 2 == 0) {
            somma += cifra ? kDispariCifre.at(static_cast<std::size_t>(indice))
                           : kDispariLettere.at(static_cast<std::size_t>(indice));
        } else {
            somma += indice;
        }
    }
    return QChar(static_cast<char16_t>(u'A' + somma % 26));
}

QString CalcolaCodiceFiscale(const QString &cognome, const QString &nome, const QDate &nascita, QChar sesso,
                             const QString &comune)
{
    if (!nascita.isValid()) {
        return {};
    }
    const int giorno = nascita.day() + (sesso.toUpper() == u'F' ? 40 : 0);
    const QString primi15 = CodiceNominativo(cognome, false) + CodiceNominativo(nome, true) +
                            u"%1"_s.arg(nascita.year() % 100, 2, 10, QChar(u'0')) + QChar(kMesi[nascita.month() - 1]) +
                            u"%1"_s.arg(giorno, 2, 10, QChar(u'0')) + comune.toUpper();
    const QChar controllo = CarattereControllo(primi15);
    if (controllo.isNull()) {
        return {};
    }
    return primi15 + controllo;
}

bool CodiceFiscaleValido(QStringView codice)
{
    if (codice.size() != 16) {
        return false;
    }
    // Layout: 6 letters, 2 digits, a month letter, 2 digits, a letter and 3 digits. (Codes
    // changed for homonyms replace digits with letters; this system never makes them.)
    for (qsizetype i = 0; i < 15; ++i) {
        const QChar c = codice.at(i);
        const bool lettera = c >= u'A' && c <= u'Z';
        const bool cifra = c >= u'0' && c <= u'9';
        const bool vuoleLettera = i < 6 || i == 8 || i == 11;
        if (vuoleLettera ? !lettera : !cifra) {
            return false;
        }
    }
    if (!QStringView(kMesi).contains(codice.at(8))) {
        return false;
    }
    const int giorno = codice.mid(9, 2).toInt();
    if (giorno < 1 || (giorno > 31 && giorno < 41) || giorno > 71) {
        return false;
    }
    return CarattereControllo(codice.left(15)) == codice.at(15);
}

} // namespace lanvera::host
