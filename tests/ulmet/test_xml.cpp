#include "StampaQt.h"
#include "clsXML.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

bool scrivi(const QString &percorso, const QByteArray &byte)
{
    QFile f(percorso);
    return f.open(QIODevice::WriteOnly) && f.write(byte) == byte.size();
}

} // namespace

TEST(XmlTest, BuiltDocumentStartsWithTheShortDeclarationLine)
{
    clsXML doc;
    clsXML::Nodo dati = doc.CreateRootNode(u"dati"_s);
    doc.AddAttribute(dati, u"cartella"_s, u"clinora"_s);
    doc.CreateNode(dati, u"senza"_s);
    doc.CreateNode(dati, u"vuoto"_s, QVariant(QString()));
    doc.AddNode(dati, u"n"_s, 7, {u"a"_s, u"1"_s, u"b"_s, u"2"_s, u"spaiato"_s});
    const QString xml = doc.XML();
    EXPECT_EQ(xml.left(23), u"<?xml version=\"1.0\"?>\r\n"_s);
    EXPECT_EQ(xml.mid(23), u"<dati cartella=\"clinora\"><senza/><vuoto/><n a=\"1\" b=\"2\">7</n></dati>"_s);
    EXPECT_TRUE(doc.XMLLatin1().startsWith("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<dati "));
    // A second root element is refused, the first stays the root.
    EXPECT_FALSE(doc.CreateRootNode(u"altra"_s));
    EXPECT_EQ(QString::fromUtf8(doc.RootNode().name()), u"dati"_s);
}

TEST(XmlTest, TextSurvivesEscapingAndTheLatin1File)
{
    struct Caso
    {
        QString testo;
        QString nelTesto; // how it reads in the serialised element
    };
    const Caso casi[] = {
        {u"D'Amico & Figli"_s, u"D'Amico &amp; Figli"_s},
        {u"<"_s, u"&lt;"_s},
        {u"caffè"_s, u"caffè"_s},
        {u"5 €"_s, u"5 &#8364;"_s},
        {u"Ω"_s, u"&#937;"_s},
        {u"\U0001F600"_s, u"&#128512;"_s},
    };
    QTemporaryDir cartella;
    for (const Caso &caso : casi) {
        SCOPED_TRACE(caso.testo.toStdString());
        clsXML doc;
        clsXML::Nodo r = doc.CreateRootNode(u"r"_s);
        doc.AddNode(r, u"t"_s, caso.testo, {u"a"_s, caso.testo + u"\""_s});
        const QString xml = doc.XML();
        EXPECT_TRUE(xml.contains(u"<t a=\""_s)) << xml.toStdString();
        EXPECT_TRUE(xml.contains(u'>' + caso.nelTesto + u"</t>"_s)) << xml.toStdString();
        EXPECT_TRUE(xml.contains(u"&quot;\">"_s));

        const QString file = cartella.filePath(u"doc.xml"_s);
        ASSERT_TRUE(doc.SaveFile(file));
        EXPECT_EQ(doc.XML2(), QString::fromLatin1(doc.XMLLatin1()));
        for (int via = 0; via < 2; ++via) {
            clsXML letto;
            ASSERT_TRUE(via == 0 ? letto.LoadXML(xml) : letto.LoadFileXML(file)) << letto.LastError().toStdString();
            EXPECT_EQ(letto.GetNode(letto.RootNode(), u"t"_s), caso.testo);
            EXPECT_EQ(letto.GetAttributeNode(letto.RootNode(), u"t"_s, u"a"_s), caso.testo + u"\""_s);
        }
    }
}

TEST(XmlTest, ByteOrderMarksAreDropped)
{
    for (const QString &testo : {u"\u00EF\u00BB\u00BF<r><a>1</a></r>"_s, u"\uFEFF<r><a>1</a></r>"_s}) {
        clsXML doc;
        ASSERT_TRUE(doc.LoadXML(testo)) << doc.LastError().toStdString();
        EXPECT_EQ(doc.GetNode(doc.RootNode(), u"a"_s), u"1"_s);
    }
    EXPECT_EQ(clsXML::Decodifica("\xEF\xBB\xBF<r>\xC3\xA8</r>"), u"<r>è</r>"_s);
}

TEST(XmlTest, ParseFailureNamesLineColumnAndSourceLine)
{
    clsXML doc;
    ASSERT_TRUE(doc.LoadXML(u"<prima><a>x</a></prima>"_s));
    EXPECT_FALSE(doc.LoadXML(u"<r>\r\n<a>è</b></r>"_s));
    const QStringList righe = doc.LastError().split(u"\r\n"_s);
    ASSERT_EQ(righe.size(), 4) << doc.LastError().toStdString();
    EXPECT_TRUE(righe[0].startsWith(u"    Parse Error: "_s));
    EXPECT_GT(righe[0].size(), 17);
    EXPECT_EQ(righe[1], u"    linea 2"_s);
    EXPECT_EQ(righe[2], u"    colonna 7"_s);
    EXPECT_EQ(righe[3], u"    '<a>è</b></r>'"_s);
    // The former document and root are still there.
    EXPECT_EQ(doc.GetNode(doc.RootNode(), u"a"_s), u"x"_s);

    EXPECT_FALSE(doc.LoadFileXML(u"/nessuna/cartella/file.xml"_s));
    EXPECT_EQ(doc.LastError().split(u"\r\n"_s).size(), 4);
}

TEST(XmlTest, RemoveNameSpaceTakesPrefixesOffElementTags)
{
    const std::pair<QString, QString> casi[] = {
        {u"<s:Env xmlns:s=\"u\"><s:Body><x/></s:Body></s:Env>"_s, u"<Env xmlns:s=\"u\"><Body><x/></Body></Env>"_s},
        {u"<p:r xmlns:p=\"u\" p:at=\"1\"/>"_s, u"<r xmlns:p=\"u\" p:at=\"1\"/>"_s},
        {u"<a:r xmlns:a=\"u\" xmlns:b=\"v\"><b:x>1</b:x></a:r>"_s, u"<r xmlns:a=\"u\" xmlns:b=\"v\"><x>1</x></r>"_s},
        {u"<r><q:x/>xmlns:q</r>"_s, u"<r><q:x/>xmlns:q</r>"_s},
    };
    for (const auto &[prima, dopo] : casi) {
        EXPECT_EQ(clsXML::RemoveNameSpace(prima), dopo);
    }
    clsXML doc;
    ASSERT_TRUE(doc.LoadXML(casi[0].first, true));
    EXPECT_TRUE(doc.ExistNode(doc.RootNode(), u"Body/x"_s));
}

TEST(XmlTest, LookupsThatFindNothingGiveEmptyResults)
{
    clsXML doc;
    ASSERT_TRUE(doc.LoadXML(u"<r k=\"v\"><a>x<b>y</b><![CDATA[<z>]]></a><a>2</a></r>"_s));
    const clsXML::Nodo r = doc.RootNode();
    EXPECT_EQ(doc.GetNode(r, u"a"_s), u"xy<z>"_s);
    EXPECT_EQ(doc.GetNode(r, u"@k"_s), u"v"_s);
    EXPECT_EQ(doc.SelectNodeList(r, u"a"_s).size(), 2u);
    for (const QString &query : {u"manca/qui"_s, u"a["_s, u"count(a)"_s, u"///"_s, QString()}) {
        SCOPED_TRACE(query.toStdString());
        EXPECT_EQ(doc.GetNode(r, query), QString());
        EXPECT_EQ(doc.GetAttributeNode(r, query, u"k"_s), QString());
        EXPECT_FALSE(doc.ExistNode(r, query));
        EXPECT_FALSE(doc.SelectNode(r, query));
        EXPECT_TRUE(doc.SelectNodeList(r, query).empty());
    }
    EXPECT_EQ(doc.GetNode(clsXML::Nodo(), u"a"_s), QString());
    EXPECT_EQ(doc.GetAttribute(r, u"manca"_s, QVariant(u"x"_s)), u"x"_s);
    EXPECT_EQ(doc.GetAttribute(r, u"manca"_s), QString());

    // A clone takes name, text and attributes, not the child elements.
    clsXML copia;
    const clsXML::Nodo radice = copia.CreateRootNode(u"c"_s);
    copia.CreateCloneNode(radice, r);
    EXPECT_EQ(copia.XML().mid(23), u"<c><r k=\"v\">xy&lt;z&gt;2</r></c>"_s);
}

TEST(XmlTest, DeclaredEncodingDecodesTheBytes)
{
    const std::pair<QByteArray, QString> casi[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>caff\xE8</r>", u"caffè"_s},
        {"<?xml version='1.0' encoding='latin1'?><r>caff\xE8</r>", u"caffè"_s},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>caff\xC3\xA8</r>", u"caffè"_s},
        {"<r>caff\xC3\xA8</r>", u"caffè"_s},
    };
    QTemporaryDir cartella;
    for (const auto &[byte, testo] : casi) {
        const QString file = cartella.filePath(u"in.xml"_s);
        ASSERT_TRUE(scrivi(file, byte));
        clsXML doc;
        ASSERT_TRUE(doc.LoadFileXML(file)) << doc.LastError().toStdString();
        EXPECT_EQ(doc.GetNode(doc.RootNode(), u"."_s), testo);
        // Load parses too, and leaves the root where it was.
        clsXML altro;
        altro.CreateRootNode(u"mio"_s);
        EXPECT_TRUE(altro.Load(file));
        EXPECT_EQ(QString::fromUtf8(altro.RootNode().name()), u"mio"_s);
    }
}
