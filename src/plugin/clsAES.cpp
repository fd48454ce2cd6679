#include "clsAES.h"

#include "Rijndael256.h"
#include "Segreti.h"
#include "clsBase64.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

constexpr qsizetype Blocco = Rijndael256::Byte;
constexpr qsizetype Lunghezza = 4; // the frame's length field

Rijndael256::Chiave chiave()
{
    const QString pass = lanvera::PassAES();
    Rijndael256::Chiave k{};
    const qsizetype n = std::min(pass.size(), Blocco / 2);
    qToLittleEndian<quint16>(pass.utf16(), n, k.data());
    return k;
}

// Every block of `dati` (a multiple of 32 bytes) through the cipher, each on its own.
template<typename Passo>
void perBlocchi(QByteArray &dati, Passo passo)
{
    auto *p = reinterpret_cast<uchar *>(dati.data());
    for (qsizetype i = 0; i < dati.size(); i += Blocco) {
        passo(Rijndael256::Blocco(p + i, Blocco));
    }
}

// The enciphered frame of the text's UTF-16LE bytes; empty for a text of a gigabyte or more, whose
// frame no QByteArray of Base64 could hold.
QByteArray cifraTesto(const Rijndael256 &cifrario, const QString &testo)
{
    const qint64 l = qint64{testo.size()} * 2;
    if (l > qint64{std::numeric_limits<qint32>::max()} - Lunghezza - Blocco) {
        return {};
    }
    const qsizetype totale = (l + Lunghezza + Blocco - 1) / Blocco * Blocco;
    QByteArray dati(totale, '\0');
    qToLittleEndian<quint32>(static_cast<quint32>(l), dati.data());
    qToLittleEndian<quint16>(testo.utf16(), testo.size(), dati.data() + Lunghezza);
    perBlocchi(dati, [&](Rijndael256::Blocco b) { cifrario.cifra(b); });
    return dati;
}

// The text of an enciphered frame; nothing when `dati` is not one.
std::optional<QString> decifraTesto(const Rijndael256 &cifrario, QByteArray dati)
{
    if (dati.isEmpty() || dati.size() % Blocco != 0) {
        return std::nullopt;
    }
    perBlocchi(dati, [&](Rijndael256::Blocco b) { cifrario.decifra(b); });
    const quint32 l = qFromLittleEndian<quint32>(dati.constData());
    if (l > static_cast<quint64>(dati.size() - Lunghezza)) {
        return std::nullopt;
    }
    QString testo(l / 2, Qt::Uninitialized);
    qFromLittleEndian<quint16>(dati.constData() + Lunghezza, testo.size(), testo.data());
    return testo;
}

std::optional<QByteArray> leggiFile(const QString &nome)
{
    QFile file(nome);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray dati = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return dati;
}

// Replaces the file with `dati`; a file left half written is removed.
bool scriviFile(const QString &nome, const QByteArray &dati)
{
    if (QFile::exists(nome) && !QFile::remove(nome)) {
        return false;
    }
    QFile file(nome);
    if (file.open(QIODevice::WriteOnly) && file.write(dati) == dati.size() && file.flush()) {
        return true;
    }
    file.close();
    file.remove();
    return false;
}

} // namespace

clsAES::clsAES() : m_cifrario(std::make_unique<const Rijndael256>(chiave())) {}

clsAES::~clsAES() = default;

QString clsAES::EncryptStr(const QString &testo) const
{
    const QByteArray dati = cifraTesto(*m_cifrario, testo);
    QString base64;
    if (dati.isEmpty() || clsBase64().Base64EncoderString(dati, base64) < 0) {
        return {};
    }
    return base64;
}

QString clsAES::DecryptStr(const QString &base64) const
{
    if (base64.size() < 4) {
        return {};
    }
    QByteArray dati;
    if (clsBase64().Base64DecoderString(base64, dati) != 0) {
        return {};
    }
    return decifraTesto(*m_cifrario, dati).value_or(QString());
}

bool clsAES::EncryptFile(const QString &InFile, const QString &OutFile, bool Overwrite) const
{
    if (!QFile::exists(InFile) || (!Overwrite && QFile::exists(OutFile))) {
        return false;
    }
    const std::optional<QByteArray> chiaro = leggiFile(InFile);
    if (!chiaro) {
        return false;
    }
    const QByteArray cifrato = cifraTesto(*m_cifrario, QString::fromLatin1(*chiaro));
    return !cifrato.isEmpty() && scriviFile(OutFile, cifrato);
}

bool clsAES::DecryptFile(const QString &InFile, const QString &OutFile, bool Overwrite) const
{
    if (!QFile::exists(InFile) || (!Overwrite && QFile::exists(OutFile))) {
        return false;
    }
    const std::optional<QByteArray> cifrato = leggiFile(InFile);
    if (!cifrato) {
        return false;
    }
    return scriviFile(OutFile, decifraTesto(*m_cifrario, *cifrato).value_or(QString()).toLatin1());
}

qint32 clsAES::Base64DecoderStringMIME(const QString &messaggio, QByteArray &dati) const
{
    return clsBase64().Base64DecoderStringMIME(messaggio, dati);
}

QString clsAES::DecryptFileStr(const QString &InFile) const
{
    const std::optional<QByteArray> cifrato = leggiFile(InFile);
    if (!cifrato) {
        return {};
    }
    return decifraTesto(*m_cifrario, *cifrato).value_or(QString());
}
