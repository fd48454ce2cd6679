#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <vector>

// One XML document with a small, forgiving set of operations: build it element by element, load
// it from a text or a file, read the text of a node found by a path query, serialise it. Lookups
// never fail: a query that finds nothing, or cannot be evaluated, gives empty text or no node.
//
// A new document starts with the declaration "version='1.0' encoding='ISO-8859-1'" and is saved
// in ISO-8859-1; characters outside it are written as character references, never dropped.
class clsXML
{
public:
    using Nodo = pugi::xml_node;
    using ListaNodi = std::vector<pugi::xml_node>;

    clsXML();
    Q_DISABLE_COPY_MOVE(clsXML)

    // --- Building
    void CreateProcessing(const QString &target, const QString &data);
    Nodo CreateRootNode(const QString &nome);
    // Without `testo` (or with empty text) the element is empty.
    Nodo CreateNode(Nodo genitore, const QString &nome, const std::optional<QVariant> &testo = std::nullopt);
    // A new element with the name, text and attributes of `modello` (not its child elements).
    Nodo CreateCloneNode(Nodo genitore, Nodo modello);
    // `attributi`: name, value, name, value, ...
    Nodo AddNode(Nodo genitore, const QString &nome, const QVariant &testo, const QStringList &attributi = {});
    void AddAttribute(Nodo nodo, const QString &nome, const QString &valore);

    // --- Loading: false with LastError on a parse failure (the root keeps its former value)
    bool LoadXML(QString xml, bool rimuoviNameSpace = false);
    bool LoadFileXML(const QString &file);
    // The parser's own result; root and last error are left alone.
    bool Load(const QString &file);

    // --- Serialising
    // The declaration line "<?xml version="1.0"?>" (21 characters), CR LF, then the root element.
    QString XML() const;
    // The document as saved to a file (ISO-8859-1, encoding in the declaration), read back.
    QString XML2() const;
    bool SaveFile(const QString &file) const;
    // The bytes SaveFile writes.
    QByteArray XMLLatin1() const;

    // --- Reading
    Nodo RootNode() const { return m_radice; }
    Nodo SelectNode(Nodo nodo, const QString &query) const;
    ListaNodi SelectNodeList(Nodo nodo, const QString &query) const;
    // The text of the first node the query selects: the character data of the node and all its
    // descendants. Empty when none.
    QString GetNode(Nodo nodo, const QString &query) const;
    QString GetTextNode(Nodo nodo, const QString &query) const { return GetNode(nodo, query); }
    QString GetAttributeNode(Nodo nodo, const QString &query, const QString &attributo) const;
    QString GetAttribute(Nodo nodo, const QString &nome,
                         const std::optional<QVariant> &predefinito = std::nullopt) const;
    bool ExistNode(Nodo nodo, const QString &query) const;
    QString LastError() const { return m_ultimoErrore; }

    // Takes namespace prefixes off element tags; the xmlns declarations themselves stay.
    static QString RemoveNameSpace(QString xml);
    // The text of a node and all its descendants.
    static QString TestoNodo(Nodo nodo);
    // Decodes an XML text in the encoding its declaration names (ISO-8859-1 included), UTF-8 when
    // it names none.
    static QString Decodifica(const QByteArray &byte);

private:
    // Parses `testo` into a new document; on success it becomes the document.
    bool analizza(const QString &testo, bool spostaRadice);
    // The top-level nodes other than the declaration, one per line, without indentation.
    QString corpo() const;

    std::unique_ptr<pugi::xml_document> m_documento;
    // The document replaced by a Load that left the root where it was: the root's nodes live on.
    std::unique_ptr<pugi::xml_document> m_precedente;
    Nodo m_radice;
    QString m_ultimoErrore;
};
