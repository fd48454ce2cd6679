#pragma once

#include "Database.h"
#include "Prompt.h"
#include "PromptCopione.h"
#include "StampaQt.h"
#include "frmEditUtente.h"
#include "frmGestioneUtenti.h"
#include "frmInputBox.h"
#include "modCartelle.h"
#include "modOrdano.h"

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <deque>
#include <functional>
#include <gtest/gtest.h>

namespace lanvera::test {

// A data folder and a program folder of their own for each test, the list prepared as the
// program's start prepares it, and the modal forms played by the test.
class OrdanoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("dati")).toUtf8());
        m_programmi = m_dir.filePath(QStringLiteral("programmi"));
        ASSERT_TRUE(QDir().mkpath(m_programmi));
        ImpostaCartellaProgramma(m_programmi);
        const QString origine = qEnvironmentVariable("LANVERA_OUTPUT_DIR");
        for (const QString &nome : {QStringLiteral("plgLanvera.ini"), QStringLiteral("System.mdw")}) {
            QFile::copy(origine + QLatin1Char('/') + nome, m_programmi + QLatin1Char('/') + nome);
        }
        modOrdano::PreparaAvvio();
        ASSERT_TRUE(m_lista.apri(modOrdano::FileListaArchivi())) << m_lista.ultimoErrore().testo().toStdString();
    }

    void TearDown() override { ImpostaCartellaProgramma(QString()); }

    // An existing file to list.
    QString archivio(const QString &nome)
    {
        const QString file = m_dir.filePath(nome);
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return file;
    }

    std::unique_ptr<frmGestioneUtenti> form(dao::Database &lista)
    {
        auto f = std::make_unique<frmGestioneUtenti>(lista, m_prompt);
        f->ImpostaMostraModale([this](QDialog &d) {
            ASSERT_FALSE(m_copione.empty()) << "unexpected form " << d.windowTitle().toStdString();
            auto passo = std::move(m_copione.front());
            m_copione.pop_front();
            passo(d);
        });
        return f;
    }

    // The next edit form gets these values and Salva (or Chiudi).
    void compila(const QString &descrizione, const QString &file, bool salva = true)
    {
        m_copione.push_back([=](QDialog &d) {
            auto &e = dynamic_cast<frmEditUtente &>(d);
            e.Campo(0)->setText(descrizione);
            e.Campo(1)->setText(file);
            e.Pulsante(salva ? 0 : 1)->click();
        });
    }

    // The next input box: its question and title noted, then OK with the text, or Annulla.
    void rispondi(const QString &testo, bool ok = true)
    {
        m_copione.push_back([=, this](QDialog &d) {
            auto &box = dynamic_cast<frmInputBox &>(d);
            m_visti << box.findChild<QLabel *>(QStringLiteral("lblTitolo"))->text() + QLatin1Char('|') +
                           box.findChild<QLabel *>(QStringLiteral("lblDomanda"))->text() + QLatin1Char('|') +
                           box.Testo()->text();
            box.Testo()->setText(testo);
            box.Pulsante(ok ? 0 : 1)->click();
        });
    }

    static void seleziona(frmGestioneUtenti &f, qint32 id) { f.Griglia()->setCurrentItem(f.Riga(id)); }

    QTemporaryDir m_dir;
    QString m_programmi;
    dao::Database m_lista;
    PromptCopione m_prompt;
    std::deque<std::function<void(QDialog &)>> m_copione;
    QStringList m_visti;
};

} // namespace lanvera::test
