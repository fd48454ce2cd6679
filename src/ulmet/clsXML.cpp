#include "clsXML.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <string>

using namespace Qt::StringLiterals;

namespace {

// Declaration, processing instructions and comments are kept; whitespace-only text is not.
constexpr unsigned int OpzioniLettura =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_pi | pugi::parse_comments;

const QString DichiarazioneTesto = u"<?xml version=\"1.0\"?>"_s;
const QString DichiarazioneFile = u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"_s;
const QString FineRiga = u"\r\n"_s;

class ScrittoreStringa : public pugi::xml_writer
{
public:
    void write(const void *dati, size_t dimensione) override
    {
        m_testo.append(static_cast<const char *>(dati), dimensione);
    }
    const std::string &testo() const { return m_testo; }

private:
    std::string m_testo;
};

QString DaUtf8(const char *testo)
{
    return QString::fromUtf8(testo);
}

// An XML name as the parser would accept it: a letter, "_" or ":" first, then also digits, "-" and ".".
bool NomeValido(const QString &nome)
{
    if (nome.isEmpty()) {
        return false;
    }
    for (qsizetype i = 0; i < nome.size(); ++i) {
        const QChar c = nome.at(i);
        const bool iniziale = c.isLetter() || c == u'_' || c == u':';
        const bool seguente = c.isDigit() || c == u'-' || c == u'.' || c.isMark();
        if (!(iniziale || (i > 0 && seguente))) {
            return false;
        }
    }
    return true;
}

// Characters outside ISO-8859-1 as decimal character references, so that the text survives the
// ISO-8859-1 file whole.
QString ConRiferimenti(const QString &testo)
{
    QString risultato;
    risultato.reserve(testo.size());
    for (qsizetype i = 0; i < testo.size(); ++i) {
        const QChar c = testo.at(i);
        if (c.unicode() <= 0xFF) {
            risultato.append(c);
            continue;
        }
        char32_t codice = c.unicode();
        if (c.isHighSurrogate() && i + 1 < testo.size() && testo.at(i + 1).isLowSurrogate()) {
            codice = QChar::surrogateToUcs4(c, testo.at(i + 1));
            ++i;
        } else if (c.isSurrogate()) {
            codice = 0xFFFD;
        }
        risultato += u"&#"_s + QString::number(codice) + u';';
    }
    return risultato;
}

// The nodes a query selects from `nodo`, in document order; none when the query is not valid or
// does not give nodes.
pugi::xpath_node_set Seleziona(pugi::xml_node nodo, const QString &query)
{
    if (!nodo || query.isEmpty()) {
        return {};
    }
    try {
        const pugi::xpath_query espressione(query.toUtf8().constData());
        if (!espressione || espressione.return_type() != pugi::xpath_type_node_set) {
            return {};
        }
        pugi::xpath_node_set nodi = espressione.evaluate_node_set(nodo);
        nodi.sort();
        return nodi;
    } catch (...) {
        // An invalid expression or no memory: the lookup finds nothing.
        return {};
    }
}

QString TestoXPath(const pugi::xpath_node &trovato)
{
    if (trovato.attribute()) {
        return DaUtf8(trovato.attribute().value());
    }
    return clsXML::TestoNodo(trovato.node());
}

} // namespace

clsXML::clsXML() : m_documento(std::make_unique<pugi::xml_document>())
{
    CreateProcessing(u"xml"_s, u"version='1.0' encoding='ISO-8859-1'"_s);
}

// --- Building

void clsXML::CreateProcessing(const QString &target, const QString &data)
{
    if (!NomeValido(target)) {
        return;
    }
    if (target.compare(u"xml"_s, Qt::CaseInsensitive) == 0) {
        // The declaration: only one, and always the first node.
        const pugi::xml_node primo = m_documento->first_child();
        if (primo.type() == pugi::node_declaration) {
            return;
        }
        pugi::xml_node dichiarazione = m_documento->prepend_child(pugi::node_declaration);
        static const QRegularExpression pseudoAttributo(u"([A-Za-z_][\\w.-]*)\\s*=\\s*(['\"])(.*?)\\2"_s);
        for (auto it = pseudoAttributo.globalMatch(data); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            dichiarazione.append_attribute(m.captured(1).toUtf8().constData())
                .set_value(m.captured(3).toUtf8().constData());
        }
        return;
    }
    m_documento->append_child(pugi::node_pi).set_name(target.toUtf8().constData());
    m_documento->last_child().set_value(data.toUtf8().constData());
}

clsXML::Nodo clsXML::CreateRootNode(const QString &nome)
{
    // A document has one root element only.
    if (!NomeValido(nome) || m_documento->document_element()) {
        return {};
    }
    m_radice = m_documento->append_child(nome.toUtf8().constData());
    return m_radice;
}

clsXML::Nodo clsXML::CreateNode(Nodo genitore, const QString &nome, const std::optional<QVariant> &testo)
{
    if (!NomeValido(nome)) {
        return {};
    }
    Nodo elemento = genitore.append_child(nome.toUtf8().constData());
    if (elemento && testo) {
        const QString valore = testo->toString();
        if (!valore.isEmpty()) {
            elemento.append_child(pugi::node_pcdata).set_value(valore.toUtf8().constData());
        }
    }
    return elemento;
}

clsXML::Nodo clsXML::CreateCloneNode(Nodo genitore, Nodo modello)
{
    if (modello.type() != pugi::node_element) {
        return {};
    }
    Nodo elemento = genitore.append_child(modello.name());
    if (!elemento) {
        return {};
    }
    const QString testo = TestoNodo(modello);
    if (!testo.isEmpty()) {
        elemento.append_child(pugi::node_pcdata).set_value(testo.toUtf8().constData());
    }
    for (const pugi::xml_attribute attributo : modello.attributes()) {
        elemento.append_attribute(attributo.name()).set_value(attributo.value());
    }
    return elemento;
}

clsXML::Nodo clsXML::AddNode(Nodo genitore, const QString &nome, const QVariant &testo, const QStringList &attributi)
{
    Nodo elemento = CreateNode(genitore, nome, testo);
    // Pairs of name and value; a name without its value is left out.
    for (qsizetype i = 0; elemento && i + 1 < attributi.size(); i += 2) {
        AddAttribute(elemento, attributi.at(i), attributi.at(i + 1));
    }
    return elemento;
}

void clsXML::AddAttribute(Nodo nodo, const QString &nome, const QString &valore)
{
    if (nodo.type() != pugi::node_element || !NomeValido(nome)) {
        return;
    }
    const QByteArray nomeUtf8 = nome.toUtf8();
    pugi::xml_attribute attributo = nodo.attribute(nomeUtf8.constData());
    if (!attributo) {
        attributo = nodo.append_attribute(nomeUtf8.constData());
    }
    attributo.set_value(valore.toUtf8().constData());
}

// --- Loading

bool clsXML::analizza(const QString &testo, bool spostaRadice)
{
    QString sorgente = testo;
    // A byte-order mark that survived decoding is not part of the document.
    if (sorgente.startsWith(QChar(0xFEFF))) {
        sorgente.remove(0, 1);
    }
    const QByteArray utf8 = sorgente.toUtf8();
    auto nuovo = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result esito =
        nuovo->load_buffer(utf8.constData(), static_cast<size_t>(utf8.size()), OpzioniLettura, pugi::encoding_utf8);
    if (!esito) {
        // Line and position (from 1) of the failure, counted in characters.
        const qsizetype offset = std::clamp<qsizetype>(esito.offset, 0, utf8.size());
        const QString prima = QString::fromUtf8(utf8.left(offset));
        const qsizetype inizioRiga = prima.lastIndexOf(u'\n') + 1;
        const qsizetype linea = prima.count(u'\n') + 1;
        const qsizetype colonna = prima.size() - inizioRiga + 1;
        qsizetype fineRiga = sorgente.indexOf(u'\n', inizioRiga);
        if (fineRiga < 0) {
            fineRiga = sorgente.size();
        }
        QString riga = sorgente.mid(inizioRiga, fineRiga - inizioRiga);
        if (riga.endsWith(u'\r')) {
            riga.chop(1);
        }
        m_ultimoErrore = u"    Parse Error: "_s + DaUtf8(esito.description()) + FineRiga + u"    linea "_s +
                         QString::number(linea) + FineRiga + u"    colonna "_s + QString::number(colonna) + FineRiga +
                         u"    '"_s + riga + u"'"_s;
        return false;
    }
    const bool radiceQui = m_radice && m_radice.root() == m_documento->root();
    if (spostaRadice) {
        m_precedente.reset();
        m_documento = std::move(nuovo);
        m_radice = m_documento->document_element();
    } else {
        // The root stays where it is: the document it lives in must outlive the swap.
        if (radiceQui) {
            m_precedente = std::move(m_documento);
        }
        m_documento = std::move(nuovo);
    }
    return true;
}

bool clsXML::LoadXML(QString xml, bool rimuoviNameSpace)
{
    static const QString marcaLetta = u"\u00EF\u00BB\u00BF"_s;
    if (xml.startsWith(marcaLetta)) {
        xml.remove(0, marcaLetta.size());
    }
    if (rimuoviNameSpace) {
        xml = RemoveNameSpace(xml);
    }
    return analizza(xml, true);
}

bool clsXML::LoadFileXML(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        m_ultimoErrore = u"    Parse Error: "_s + f.errorString() + FineRiga + u"    linea 0"_s + FineRiga +
                         u"    colonna 0"_s + FineRiga + u"    ''"_s;
        return false;
    }
    return analizza(Decodifica(f.readAll()), true);
}

bool clsXML::Load(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QString salvato = m_ultimoErrore;
    const bool ok = analizza(Decodifica(f.readAll()), false);
    m_ultimoErrore = salvato;
    return ok;
}

// --- Serialising

QString clsXML::corpo() const
{
    QStringList nodi;
    for (const pugi::xml_node nodo : m_documento->children()) {
        if (nodo.type() == pugi::node_declaration) {
            continue;
        }
        ScrittoreStringa scrittore;
        nodo.print(scrittore, "", pugi::format_raw, pugi::encoding_utf8);
        nodi << ConRiferimenti(QString::fromStdString(scrittore.testo()));
    }
    return nodi.join(FineRiga);
}

QString clsXML::XML() const
{
    return DichiarazioneTesto + FineRiga + corpo();
}

QByteArray clsXML::XMLLatin1() const
{
    // After the references every character fits in ISO-8859-1.
    return (DichiarazioneFile + FineRiga + corpo() + FineRiga).toLatin1();
}

bool clsXML::SaveFile(const QString &file) const
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const QByteArray byte = XMLLatin1();
    return f.write(byte) == byte.size() && f.flush();
}

QString clsXML::XML2() const
{
    const QString percorso = QDir::tempPath() + u"/Temp.xml"_s;
    if (!SaveFile(percorso)) {
        return {};
    }
    QFile f(percorso);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLatin1(f.readAll());
}

// --- Reading

clsXML::Nodo clsXML::SelectNode(Nodo nodo, const QString &query) const
{
    const pugi::xpath_node_set nodi = Seleziona(nodo, query);
    return nodi.empty() ? Nodo() : nodi.first().node();
}

clsXML::ListaNodi clsXML::SelectNodeList(Nodo nodo, const QString &query) const
{
    ListaNodi lista;
    for (const pugi::xpath_node &trovato : Seleziona(nodo, query)) {
        if (trovato.node()) {
            lista.push_back(trovato.node());
        }
    }
    return lista;
}

QString clsXML::GetNode(Nodo nodo, const QString &query) const
{
    const pugi::xpath_node_set nodi = Seleziona(nodo, query);
    return nodi.empty() ? QString() : TestoXPath(nodi.first());
}

QString clsXML::GetAttributeNode(Nodo nodo, const QString &query, const QString &attributo) const
{
    return DaUtf8(SelectNode(nodo, query).attribute(attributo.toUtf8().constData()).value());
}

QString clsXML::GetAttribute(Nodo nodo, const QString &nome, const std::optional<QVariant> &predefinito) const
{
    const pugi::xml_attribute attributo = nodo.attribute(nome.toUtf8().constData());
    if (attributo) {
        return DaUtf8(attributo.value());
    }
    return predefinito ? predefinito->toString() : QString();
}

bool clsXML::ExistNode(Nodo nodo, const QString &query) const
{
    return !Seleziona(nodo, query).empty();
}

QString clsXML::TestoNodo(Nodo nodo)
{
    if (nodo.type() == pugi::node_pcdata || nodo.type() == pugi::node_cdata) {
        return DaUtf8(nodo.value());
    }
    // Depth first without recursion: documents may nest deeper than the stack allows.
    std::string testo;
    Nodo n = nodo.first_child();
    while (n) {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
            testo += n.value();
        }
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && n != nodo && !n.next_sibling()) {
            n = n.parent();
        }
        if (!n || n == nodo) {
            break;
        }
        n = n.next_sibling();
    }
    return QString::fromStdString(testo);
}

QString clsXML::RemoveNameSpace(QString xml)
{
    static const QString dichiarazione = u"xmlns:"_s;
    qsizetype p = xml.indexOf(dichiarazione);
    while (p >= 0) {
        const qsizetype uguale = xml.indexOf(u'=', p);
        if (uguale < 0) {
            break;
        }
        const QString prefisso = xml.mid(p + 6, uguale - p - 6);
        xml.replace(u'<' + prefisso + u':', u"<"_s);
        xml.replace(u"</"_s + prefisso + u':', u"</"_s);
        p = xml.indexOf(dichiarazione, uguale + 1);
    }
    return xml;
}

QString clsXML::Decodifica(const QByteArray &byte)
{
    // A byte-order mark says it all (UTF-8, UTF-16, UTF-32).
    if (const std::optional<QStringConverter::Encoding> marca = QStringConverter::encodingForData(byte)) {
        QStringDecoder decoder(*marca);
        return decoder.decode(byte);
    }
    static const QRegularExpression codifica(u"^\\s*<\\?xml[^>]*?\\bencoding\\s*=\\s*(['\"])([A-Za-z0-9._:-]+)\\1"_s);
    const QRegularExpressionMatch m = codifica.match(QString::fromLatin1(byte.left(512)));
    if (m.hasMatch()) {
        const QString nome = m.captured(2).toLower();
        if (nome == u"iso-8859-1"_s || nome == u"latin1"_s || nome == u"latin-1"_s || nome == u"iso_8859-1"_s) {
            return QString::fromLatin1(byte);
        }
        QStringDecoder decoder(m.captured(2).toLatin1().constData());
        if (decoder.isValid()) {
            return decoder.decode(byte);
        }
    }
    return QString::fromUtf8(byte);
}
