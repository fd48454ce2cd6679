-- Empty Clinora archive (SQLite dialect).
--
-- Run statement by statement on a new database file. Conventions of the host format:
--   * counters are INTEGER PRIMARY KEY AUTOINCREMENT, so an ID is never reused;
--   * dates and moments are ISO text 'yyyy-mm-dd hh:mm:ss', declared DATETIME so that the
--     declared type tells a date column; they compare correctly as text;
--   * yes/no columns are INTEGER, 0 false and -1 true; like the host's yes/no fields they are
--     never NULL and start false;
--   * a chart table (the rows of one patient that travel between doctors) carries the row
--     bookkeeping: GUID (network-wide identity), IDPaziente, LastUpdate, LastInsert, ToSend,
--     ToRepl, ModificatoDa, and is indexed on GUID and IDPaziente. A row written without
--     ToSend/ToRepl gets 0, that is "changed here, not yet sent";
--   * names keep the host's spelling and letter case, accents and blanks included.
-- SOLE_Versione is deliberately absent: its presence marks an archive with the SOLE extension,
-- so only the archives of that extension get it.

---------------------------------------------------------------------------------------------
-- Host configuration (kept by the host for the doctor, never part of a chart)
---------------------------------------------------------------------------------------------

-- Configuration items, one row per key; the network's own keys begin with "QUOR.".
CREATE TABLE arcItems (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    "Key"           VARCHAR(100),
    Item            TEXT,
    Cancellato      INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX arcItems_Key ON arcItems ("Key");

-- The doctors of this archive; the row with IDRete = 1 is the archive's owner.
CREATE TABLE tblMedico (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    IDRete          INTEGER,
    Cognome         VARCHAR(50),
    Nome            VARCHAR(50),
    CodiceFiscale   VARCHAR(16),
    CodiceRegionale VARCHAR(20),
    ASL             VARCHAR(50),
    Indirizzo       VARCHAR(100),
    "Città"         VARCHAR(50),
    CAP             VARCHAR(5),
    Provincia       VARCHAR(2),
    Telefono        VARCHAR(30),
    Email           VARCHAR(100)
);
CREATE INDEX tblMedico_IDRete ON tblMedico (IDRete);

CREATE TABLE tblUtenti (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    Utente          VARCHAR(50),
    Password        VARCHAR(50),
    Cognome         VARCHAR(50),
    Nome            VARCHAR(50),
    Amministratore  INTEGER NOT NULL DEFAULT 0,
    Cancellato      INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE tblImpostazioni (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    Sezione         VARCHAR(50),
    Chiave          VARCHAR(100),
    Descrizione     VARCHAR(255),
    Predefinito     TEXT
);

CREATE TABLE tblValoriImpostazioni (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    IDImpostazione  INTEGER,
    IDUtente        INTEGER,
    Valore          TEXT
);

CREATE TABLE tblSetupUtente (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    IDUtente        INTEGER,
    Chiave          VARCHAR(100),
    Valore          TEXT
);

-- Text macros of the editor and their sub-entries.
CREATE TABLE tblMacro (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    Macro           VARCHAR(50),
    Descrizione     VARCHAR(255),
    Testo           TEXT
);

CREATE TABLE tblSottomacro (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    IDMacro         INTEGER,
    Sottomacro      VARCHAR(50),
    Testo           TEXT,
    Ordine          INTEGER
);

-- The doctor's own notes (not a patient's).
CREATE TABLE tblNote (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    Data            DATETIME,
    Titolo          VARCHAR(100),
    Testo           TEXT
);

-- Register of the prescription forms printed by this installation.
CREATE TABLE tblRicetteStampate (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    Data            DATETIME,
    NumeroRicetta   VARCHAR(20),
    Tipo            VARCHAR(5),
    Stampante       VARCHAR(100)
);

-- Prescription texts ready for use.
CREATE TABLE tblPrescrizioniRicetta (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    Prescrizione    VARCHAR(100),
    Testo           TEXT,
    Ordine          INTEGER
);

---------------------------------------------------------------------------------------------
-- Network bookkeeping (normally created by the plug-in's structure check)
---------------------------------------------------------------------------------------------

-- Structure version of the network tables; one row, 1 once they are in place.
CREATE TABLE QUOR_Versione (
    ID              INTEGER
);

-- Per patient, the stamp of the chart last exchanged with the server.
CREATE TABLE QUOR_tblUpdate (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    IDPaziente      INTEGER,
    IDUpdate        VARCHAR(38)
);
CREATE INDEX QUOR_tblUpdate_IDPaziente ON QUOR_tblUpdate (IDPaziente);

---------------------------------------------------------------------------------------------
-- SOLE extension (regional health network); configuration and code tables
---------------------------------------------------------------------------------------------

CREATE TABLE SOLE_tblConfig (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    "Key"           VARCHAR(100),
    Valore          TEXT
);
CREATE INDEX SOLE_tblConfig_Key ON SOLE_tblConfig ("Key");

CREATE TABLE SOLE_tblIDPrestazione (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    IDPrestazione   INTEGER,
    CodiceSole      VARCHAR(20),
    Descrizione     VARCHAR(100)
);

---------------------------------------------------------------------------------------------
-- Catalogues (looked up by code, never part of a chart)
---------------------------------------------------------------------------------------------

CREATE TABLE Principi (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    CodiceATC       VARCHAR(10),
    Principio       VARCHAR(100)
);
CREATE INDEX Principi_Principio ON Principi (Principio);

CREATE TABLE Farmaci (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    AIC             VARCHAR(10),
    Farmaco         VARCHAR(100),
    IDPrincipio     INTEGER,
    ATC             VARCHAR(10),
    Classe          VARCHAR(5),
    Nota            VARCHAR(20),
    Prezzo          REAL
);
CREATE INDEX Farmaci_AIC ON Farmaci (AIC);

CREATE TABLE arcEsami (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    Codice          VARCHAR(20),
    Esame           VARCHAR(150),
    MW              VARCHAR(20),
    Tariffa         REAL
);
CREATE INDEX arcEsami_Codice ON arcEsami (Codice);
CREATE INDEX arcEsami_MW ON arcEsami (MW);

CREATE TABLE arcSottoesami (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    Sottoesame      VARCHAR(150),
    MW              VARCHAR(20),
    Unita           VARCHAR(20),
    ValoreMinimo    REAL,
    ValoreMassimo   REAL
);
CREATE INDEX arcSottoesami_MW ON arcSottoesami (MW);

CREATE TABLE arcLinkEsamiSottoesami (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    IDEsame         INTEGER,
    IDSottoesame    INTEGER,
    Principale      INTEGER NOT NULL DEFAULT 0,
    Ordine          INTEGER
);
CREATE INDEX arcLinkEsamiSottoesami_IDEsame ON arcLinkEsamiSottoesami (IDEsame);
CREATE INDEX arcLinkEsamiSottoesami_IDSottoesame ON arcLinkEsamiSottoesami (IDSottoesame);

CREATE TABLE arcVisite (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    Codice          VARCHAR(20),
    Visita          VARCHAR(150),
    IDPrestazione   INTEGER,
    Tariffa         REAL
);
CREATE INDEX arcVisite_Codice ON arcVisite (Codice);

-- Exemptions by region; the letter columns say which cost shares an exemption waives.
CREATE TABLE arcLinkEsenzioni (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    IDRegione       INTEGER,
    IDEsenzione     INTEGER,
    CodEsenzione    VARCHAR(20),
    Keyword         VARCHAR(50),
    Etichetta       VARCHAR(10),
    Descrizione     VARCHAR(255),
    CodArtEsa       VARCHAR(20),
    CodArtFar       VARCHAR(20),
    LetteraEsami    VARCHAR(10),
    LetteraEsami_N  VARCHAR(10),
    Lettera         VARCHAR(10),
    Lettera_N       VARCHAR(10)
);
CREATE INDEX arcLinkEsenzioni_CodEsenzione ON arcLinkEsenzioni (CodEsenzione);

CREATE TABLE ICD9CM (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    Codice          VARCHAR(10),
    Descrizione     VARCHAR(255)
);
CREATE INDEX ICD9CM_Codice ON ICD9CM (Codice);

---------------------------------------------------------------------------------------------
-- The patient
---------------------------------------------------------------------------------------------

-- One row per patient; its ID is the patient's number in every chart table.
-- Proprio: a private patient outside the doctor's list; UIDCMedico: filled when the patient
-- was downloaded from a colleague.
CREATE TABLE tblAnagrafica (
    ID                   INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID                 VARCHAR(38),
    Cognome              VARCHAR(50),
    Nome                 VARCHAR(50),
    Sesso                VARCHAR(1),
    DataNascita          DATETIME,
    LuogoNascita         VARCHAR(50),
    CodiceFiscale        VARCHAR(16),
    Tessera              VARCHAR(20),
    Indirizzo            VARCHAR(100),
    "Città"              VARCHAR(50),
    CAP                  VARCHAR(5),
    Provincia            VARCHAR(2),
    IndirizzoResidenza   VARCHAR(100),
    "CittàResidenza"     VARCHAR(50),
    ProvinciaResidenza   VARCHAR(2),
    CAPResidenza         VARCHAR(5),
    Telefono             VARCHAR(30),
    USL                  VARCHAR(50),
    USLResidenza         VARCHAR(50),
    Medico               VARCHAR(100),
    Proprio              INTEGER NOT NULL DEFAULT 0,
    UIDCMedico           VARCHAR(38),
    Emogruppo            VARCHAR(10),
    TipoPaziente         VARCHAR(20),
    Note                 TEXT,
    LastUpdate           DATETIME,
    LastInsert           DATETIME,
    ToSend               INTEGER NOT NULL DEFAULT 0,
    ToRepl               INTEGER NOT NULL DEFAULT 0,
    ModificatoDa         VARCHAR(50)
);
CREATE INDEX tblAnagrafica_GUID ON tblAnagrafica (GUID);
CREATE INDEX tblAnagrafica_Nominativo ON tblAnagrafica (Cognome, Nome);
CREATE INDEX tblAnagrafica_CodiceFiscale ON tblAnagrafica (CodiceFiscale);

-- Per patient: TagStato 1 when the chart is to be checked for changes, and when the network
-- last updated him.
CREATE TABLE tblAnagrafica2 (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    TagStato        INTEGER NOT NULL DEFAULT 0,
    DateUpdate      DATETIME,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblAnagrafica2_GUID ON tblAnagrafica2 (GUID);
CREATE INDEX tblAnagrafica2_IDPaziente ON tblAnagrafica2 (IDPaziente);

-- Care relationships: a patient is revoked when the latest one has ended.
CREATE TABLE tblRapporti (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    DataInizio      DATETIME,
    DataFine        DATETIME,
    Motivo          VARCHAR(100),
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblRapporti_GUID ON tblRapporti (GUID);
CREATE INDEX tblRapporti_IDPaziente ON tblRapporti (IDPaziente);

CREATE TABLE tblEsenzioni (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDEsenzione     INTEGER,
    CodiceEsenzione VARCHAR(20),
    EsaCodice       VARCHAR(20),
    FarCodice       VARCHAR(20),
    Scadenza        DATETIME,
    EsaN            INTEGER NOT NULL DEFAULT 0,
    EsaR            INTEGER NOT NULL DEFAULT 0,
    EsaAAsl         INTEGER NOT NULL DEFAULT 0,
    EsaRAsl         INTEGER NOT NULL DEFAULT 0,
    FarN            INTEGER NOT NULL DEFAULT 0,
    FarR            INTEGER NOT NULL DEFAULT 0,
    FarAasl         INTEGER NOT NULL DEFAULT 0,
    FarRasl         INTEGER NOT NULL DEFAULT 0,
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblEsenzioni_GUID ON tblEsenzioni (GUID);
CREATE INDEX tblEsenzioni_IDPaziente ON tblEsenzioni (IDPaziente);

---------------------------------------------------------------------------------------------
-- History and notes
---------------------------------------------------------------------------------------------

-- One row per patient.
CREATE TABLE tblAnamnesi (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Anamnesi        TEXT,
    Professione     VARCHAR(100),
    StatoCivile     VARCHAR(30),
    Fumo            VARCHAR(50),
    Alcol           VARCHAR(50),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblAnamnesi_GUID ON tblAnamnesi (GUID);
CREATE INDEX tblAnamnesi_IDPaziente ON tblAnamnesi (IDPaziente);

CREATE TABLE tblanamnesifamiliare (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Parentela       VARCHAR(50),
    Patologia       VARCHAR(255),
    CodiceICD9      VARCHAR(10),
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblanamnesifamiliare_GUID ON tblanamnesifamiliare (GUID);
CREATE INDEX tblanamnesifamiliare_IDPaziente ON tblanamnesifamiliare (IDPaziente);

CREATE TABLE tblanamnesipatologica (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Patologia       VARCHAR(255),
    CodiceICD9      VARCHAR(10),
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblanamnesipatologica_GUID ON tblanamnesipatologica (GUID);
CREATE INDEX tblanamnesipatologica_IDPaziente ON tblanamnesipatologica (IDPaziente);

-- One row per patient.
CREATE TABLE tblAppunti (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Appunti         TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblAppunti_GUID ON tblAppunti (GUID);
CREATE INDEX tblAppunti_IDPaziente ON tblAppunti (IDPaziente);

CREATE TABLE tblAllergie (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    IDFarmaco       INTEGER,
    IDPrincipio     INTEGER,
    ATCFarmaco      VARCHAR(10),
    Intolleranza    INTEGER NOT NULL DEFAULT 0,
    Nota            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblAllergie_GUID ON tblAllergie (GUID);
CREATE INDEX tblAllergie_IDPaziente ON tblAllergie (IDPaziente);

CREATE TABLE tblstato (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Stato           VARCHAR(100),
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblstato_GUID ON tblstato (GUID);
CREATE INDEX tblstato_IDPaziente ON tblstato (IDPaziente);

---------------------------------------------------------------------------------------------
-- Clinical diary and problems
---------------------------------------------------------------------------------------------

-- IDPrestazione is the document type (1 other, 7 prescription, 9 admission, ...);
-- Ricetta is true for the entries that record a prescription.
CREATE TABLE tblDiario (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Diario          TEXT,
    IDPrestazione   INTEGER,
    Ricetta         INTEGER NOT NULL DEFAULT 0,
    CodiceICD9      VARCHAR(10),
    URL             VARCHAR(255),
    GUIDGruppo      VARCHAR(38),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblDiario_GUID ON tblDiario (GUID);
CREATE INDEX tblDiario_IDPaziente ON tblDiario (IDPaziente);

-- Services under the professional-commitment agreement, each tied to a diary entry.
CREATE TABLE "tbldiario pip" (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDDiario        INTEGER,
    Data            DATETIME,
    Codice          VARCHAR(10),
    Prestazione     VARCHAR(100),
    Importo         REAL,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX "tbldiario pip_GUID" ON "tbldiario pip" (GUID);
CREATE INDEX "tbldiario pip_IDPaziente" ON "tbldiario pip" (IDPaziente);

-- Stato: 0 open, 1 closed.
CREATE TABLE tblProblemi (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    DataApertura    DATETIME,
    DataChiusura    DATETIME,
    CodiceICD9      VARCHAR(10),
    Etichetta       VARCHAR(100),
    Stato           INTEGER,
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblProblemi_GUID ON tblProblemi (GUID);
CREATE INDEX tblProblemi_IDPaziente ON tblProblemi (IDPaziente);

-- Links a problem to the diary entries that concern it.
CREATE TABLE tblProblemiDiario (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDProblema      INTEGER,
    IDDiario        INTEGER,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblProblemiDiario_GUID ON tblProblemiDiario (GUID);
CREATE INDEX tblProblemiDiario_IDPaziente ON tblProblemiDiario (IDPaziente);
CREATE INDEX tblProblemiDiario_IDDiario ON tblProblemiDiario (IDDiario);

CREATE TABLE tblproblemisospetti (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Descrizione     VARCHAR(255),
    CodiceICD9      VARCHAR(10),
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblproblemisospetti_GUID ON tblproblemisospetti (GUID);
CREATE INDEX tblproblemisospetti_IDPaziente ON tblproblemisospetti (IDPaziente);

CREATE TABLE tblesameobiettivo (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDDiario        INTEGER,
    Data            DATETIME,
    Apparato        VARCHAR(50),
    Descrizione     TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblesameobiettivo_GUID ON tblesameobiettivo (GUID);
CREATE INDEX tblesameobiettivo_IDPaziente ON tblesameobiettivo (IDPaziente);

CREATE TABLE tblscadenze (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Descrizione     VARCHAR(255),
    Eseguita        INTEGER NOT NULL DEFAULT 0,
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblscadenze_GUID ON tblscadenze (GUID);
CREATE INDEX tblscadenze_IDPaziente ON tblscadenze (IDPaziente);

CREATE TABLE tblscreening (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Tipo            VARCHAR(50),
    Esito           VARCHAR(100),
    DataProssimo    DATETIME,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblscreening_GUID ON tblscreening (GUID);
CREATE INDEX tblscreening_IDPaziente ON tblscreening (IDPaziente);

---------------------------------------------------------------------------------------------
-- Prescriptions and therapy
---------------------------------------------------------------------------------------------

-- A prescription form; its items are in tblRicettaFarmaci, tblRicettaEsami, tblRicettaVisite.
CREATE TABLE tblRicette (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDDiario        INTEGER,
    Data            DATETIME,
    Tipo            VARCHAR(5),
    NumeroRicetta   VARCHAR(20),
    CodiceEsenzione VARCHAR(20),
    Stampata        INTEGER NOT NULL DEFAULT 0,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblRicette_GUID ON tblRicette (GUID);
CREATE INDEX tblRicette_IDPaziente ON tblRicette (IDPaziente);

CREATE TABLE tblRicettaFarmaci (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDRicetta       INTEGER,
    IDDiario        INTEGER,
    IDFarmaco       INTEGER,
    Descrizione     VARCHAR(255),
    "Quantità"      INTEGER,
    Posologia       VARCHAR(100),
    Nota            VARCHAR(20),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblRicettaFarmaci_GUID ON tblRicettaFarmaci (GUID);
CREATE INDEX tblRicettaFarmaci_IDPaziente ON tblRicettaFarmaci (IDPaziente);

CREATE TABLE tblRicettaEsami (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDRicetta       INTEGER,
    IDDiario        INTEGER,
    IDEsame         INTEGER,
    Descrizione     VARCHAR(255),
    "Quantità"      INTEGER,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblRicettaEsami_GUID ON tblRicettaEsami (GUID);
CREATE INDEX tblRicettaEsami_IDPaziente ON tblRicettaEsami (IDPaziente);

CREATE TABLE tblRicettaVisite (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDRicetta       INTEGER,
    IDDiario        INTEGER,
    IDVisita        INTEGER,
    Descrizione     VARCHAR(255),
    Quesito         VARCHAR(255),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblRicettaVisite_GUID ON tblRicettaVisite (GUID);
CREATE INDEX tblRicettaVisite_IDPaziente ON tblRicettaVisite (IDPaziente);

-- One prescribed item (drug, exam or visit); IDDiario is the diary entry that records it.
CREATE TABLE tblPrescrizioni (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDDiario        INTEGER,
    IDRicetta       INTEGER,
    Data            DATETIME,
    IDFarmaco       INTEGER,
    IDEsame         INTEGER,
    IDVisita        INTEGER,
    IDDiagnosi      INTEGER,
    Descrizione     VARCHAR(255),
    "Quantità"      INTEGER,
    Classe          VARCHAR(5),
    Nota            VARCHAR(20),
    NotaCUF         VARCHAR(20),
    "PosQuantità"   VARCHAR(10),
    PosDescrizione  VARCHAR(30),
    Prezzo          REAL,
    Importo         REAL,
    CodiceEsenzione VARCHAR(20),
    Diagnosi        VARCHAR(255),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblPrescrizioni_GUID ON tblPrescrizioni (GUID);
CREATE INDEX tblPrescrizioni_IDPaziente ON tblPrescrizioni (IDPaziente);
CREATE INDEX tblPrescrizioni_IDDiario ON tblPrescrizioni (IDDiario);

-- Ongoing therapy.
CREATE TABLE tblStatoFarmaci (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDFarmaco       INTEGER,
    DataInizio      DATETIME,
    Qt              INTEGER,
    Classe          VARCHAR(20),
    Nota            VARCHAR(20),
    QtPos           VARCHAR(10),
    Posologia       VARCHAR(100),
    IDEsenzione     INTEGER,
    CodiceEsenzione VARCHAR(20),
    FarR            INTEGER NOT NULL DEFAULT 0,
    FarN            INTEGER NOT NULL DEFAULT 0,
    FarRasl         INTEGER NOT NULL DEFAULT 0,
    FarAasl         INTEGER NOT NULL DEFAULT 0,
    Diagnosi        VARCHAR(255),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblStatoFarmaci_GUID ON tblStatoFarmaci (GUID);
CREATE INDEX tblStatoFarmaci_IDPaziente ON tblStatoFarmaci (IDPaziente);

-- Specialist's therapy plan for a drug.
CREATE TABLE tblpianoterapeutico (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDFarmaco       INTEGER,
    DataInizio      DATETIME,
    DataFine        DATETIME,
    Centro          VARCHAR(100),
    Descrizione     VARCHAR(255),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblpianoterapeutico_GUID ON tblpianoterapeutico (GUID);
CREATE INDEX tblpianoterapeutico_IDPaziente ON tblpianoterapeutico (IDPaziente);

CREATE TABLE tblposologia (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDFarmaco       INTEGER,
    DataInizio      DATETIME,
    DataFine        DATETIME,
    Posologia       VARCHAR(100),
    Orari           VARCHAR(50),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblposologia_GUID ON tblposologia (GUID);
CREATE INDEX tblposologia_IDPaziente ON tblposologia (IDPaziente);

---------------------------------------------------------------------------------------------
-- Tests and visits
---------------------------------------------------------------------------------------------

-- Laboratory results; Alterato is "S", "N" or "?" when undetermined.
CREATE TABLE tblEsami (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDDiario        INTEGER,
    IDEsame         INTEGER,
    IDSottoesame    INTEGER,
    Data            DATETIME,
    Valore          VARCHAR(50),
    Unita           VARCHAR(20),
    Alterato        VARCHAR(1),
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblEsami_GUID ON tblEsami (GUID);
CREATE INDEX tblEsami_IDPaziente ON tblEsami (IDPaziente);

-- Tests and visits planned but not yet prescribed.
CREATE TABLE tblesamisospesi (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDEsame         INTEGER,
    Data            DATETIME,
    Descrizione     VARCHAR(255),
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblesamisospesi_GUID ON tblesamisospesi (GUID);
CREATE INDEX tblesamisospesi_IDPaziente ON tblesamisospesi (IDPaziente);

CREATE TABLE tblvisitesospese (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDVisita        INTEGER,
    Data            DATETIME,
    Descrizione     VARCHAR(255),
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblvisitesospese_GUID ON tblvisitesospese (GUID);
CREATE INDEX tblvisitesospese_IDPaziente ON tblvisitesospese (IDPaziente);

CREATE TABLE tblVaccinazioni (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    DataRichiamo    DATETIME,
    Vaccino         VARCHAR(255),
    Lotto           VARCHAR(30),
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblVaccinazioni_GUID ON tblVaccinazioni (GUID);
CREATE INDEX tblVaccinazioni_IDPaziente ON tblVaccinazioni (IDPaziente);

---------------------------------------------------------------------------------------------
-- Monitoring
---------------------------------------------------------------------------------------------

CREATE TABLE tblMonitorIpertensione (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Minima          INTEGER,
    Massima         INTEGER,
    Frequenza       INTEGER,
    Aritmico        INTEGER NOT NULL DEFAULT 0,
    Note            VARCHAR(255),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblMonitorIpertensione_GUID ON tblMonitorIpertensione (GUID);
CREATE INDEX tblMonitorIpertensione_IDPaziente ON tblMonitorIpertensione (IDPaziente);

-- Weight (kg), height (cm), body-mass index and waist (crfVita, cm).
CREATE TABLE tblMonitorBMI (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Peso            REAL,
    Altezza         REAL,
    BMI             REAL,
    crfVita         REAL,
    Note            VARCHAR(255),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblMonitorBMI_GUID ON tblMonitorBMI (GUID);
CREATE INDEX tblMonitorBMI_IDPaziente ON tblMonitorBMI (IDPaziente);

CREATE TABLE tblmonitorfumo (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Stato           VARCHAR(30),
    Sigarette       INTEGER,
    Note            VARCHAR(255),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblmonitorfumo_GUID ON tblmonitorfumo (GUID);
CREATE INDEX tblmonitorfumo_IDPaziente ON tblmonitorfumo (IDPaziente);

CREATE TABLE tblmonitorglicemia (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Glicemia        REAL,
    Digiuno         INTEGER NOT NULL DEFAULT 0,
    HbA1c           REAL,
    Note            VARCHAR(255),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblmonitorglicemia_GUID ON tblmonitorglicemia (GUID);
CREATE INDEX tblmonitorglicemia_IDPaziente ON tblmonitorglicemia (IDPaziente);

CREATE TABLE tblmonitormetabolismolipidico (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Colesterolo     REAL,
    HDL             REAL,
    LDL             REAL,
    Trigliceridi    REAL,
    Note            VARCHAR(255),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblmonitormetabolismolipidico_GUID ON tblmonitormetabolismolipidico (GUID);
CREATE INDEX tblmonitormetabolismolipidico_IDPaziente ON tblmonitormetabolismolipidico (IDPaziente);

-- Prothrombin time of patients on oral anticoagulants.
CREATE TABLE tblmonitorpt (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    INR             REAL,
    DoseSettimanale REAL,
    Note            VARCHAR(255),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblmonitorpt_GUID ON tblmonitorpt (GUID);
CREATE INDEX tblmonitorpt_IDPaziente ON tblmonitorpt (IDPaziente);

CREATE TABLE tblrischiocardiovascolare (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    Punteggio       REAL,
    Rischio         VARCHAR(20),
    Colesterolo     REAL,
    HDL             REAL,
    PAS             INTEGER,
    Fumatore        INTEGER NOT NULL DEFAULT 0,
    Diabetico       INTEGER NOT NULL DEFAULT 0,
    Trattato        INTEGER NOT NULL DEFAULT 0,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblrischiocardiovascolare_GUID ON tblrischiocardiovascolare (GUID);
CREATE INDEX tblrischiocardiovascolare_IDPaziente ON tblrischiocardiovascolare (IDPaziente);

---------------------------------------------------------------------------------------------
-- Certificates
---------------------------------------------------------------------------------------------

-- A first certificate has no IDCertificatoPadre; continuations point at their first one.
CREATE TABLE tblCertificatiINAIL (
    ID                  INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID                VARCHAR(38),
    IDPaziente          INTEGER,
    IDCertificatoPadre  INTEGER,
    IDDiario            INTEGER,
    Data                DATETIME,
    Tipo                VARCHAR(20),
    DataEvento          DATETIME,
    Diagnosi            TEXT,
    GiorniPrognosi      INTEGER,
    Note                TEXT,
    LastUpdate          DATETIME,
    LastInsert          DATETIME,
    ToSend              INTEGER NOT NULL DEFAULT 0,
    ToRepl              INTEGER NOT NULL DEFAULT 0,
    ModificatoDa        VARCHAR(50)
);
CREATE INDEX tblCertificatiINAIL_GUID ON tblCertificatiINAIL (GUID);
CREATE INDEX tblCertificatiINAIL_IDPaziente ON tblCertificatiINAIL (IDPaziente);

-- Sick-leave certificates; a continuation points at the certificate it continues (IDCertificato).
CREATE TABLE tblCertificatiINPS (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDCertificato   INTEGER,
    IDDiario        INTEGER,
    Data            DATETIME,
    Tipo            VARCHAR(20),
    DataInizio      DATETIME,
    DataFine        DATETIME,
    Diagnosi        TEXT,
    Protocollo      VARCHAR(30),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblCertificatiINPS_GUID ON tblCertificatiINPS (GUID);
CREATE INDEX tblCertificatiINPS_IDPaziente ON tblCertificatiINPS (IDPaziente);

CREATE TABLE tblMemoCertificati (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDDiario        INTEGER,
    Certificato     VARCHAR(100),
    Testo           TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX tblMemoCertificati_GUID ON tblMemoCertificati (GUID);
CREATE INDEX tblMemoCertificati_IDPaziente ON tblMemoCertificati (IDPaziente);

---------------------------------------------------------------------------------------------
-- SOLE extension: per-patient tables
---------------------------------------------------------------------------------------------

-- Diary entries and prescriptions already sent to the regional network.
CREATE TABLE sole_tbllinkdiario (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDDiario        INTEGER,
    IDDocumento     VARCHAR(50),
    Stato           INTEGER,
    DataInvio       DATETIME,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX sole_tbllinkdiario_GUID ON sole_tbllinkdiario (GUID);
CREATE INDEX sole_tbllinkdiario_IDPaziente ON sole_tbllinkdiario (IDPaziente);

CREATE TABLE sole_tbllinkprescrizioni (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDRicetta       INTEGER,
    NRE             VARCHAR(20),
    Stato           INTEGER,
    DataInvio       DATETIME,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX sole_tbllinkprescrizioni_GUID ON sole_tbllinkprescrizioni (GUID);
CREATE INDEX sole_tbllinkprescrizioni_IDPaziente ON sole_tbllinkprescrizioni (IDPaziente);

-- One row per patient: consent to the regional health record.
CREATE TABLE SOLE_tblConsenso (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Consenso        INTEGER NOT NULL DEFAULT 0,
    DataConsenso    DATETIME,
    Oscuramento     INTEGER NOT NULL DEFAULT 0,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX SOLE_tblConsenso_GUID ON SOLE_tblConsenso (GUID);
CREATE INDEX SOLE_tblConsenso_IDPaziente ON SOLE_tblConsenso (IDPaziente);

-- One row per patient: whether his registry data agree with the regional registry.
CREATE TABLE SOLE_tblAllineati (
    ID               INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID             VARCHAR(38),
    IDPaziente       INTEGER,
    Allineato        INTEGER NOT NULL DEFAULT 0,
    DataAllineamento DATETIME,
    LastUpdate       DATETIME,
    LastInsert       DATETIME,
    ToSend           INTEGER NOT NULL DEFAULT 0,
    ToRepl           INTEGER NOT NULL DEFAULT 0,
    ModificatoDa     VARCHAR(50)
);
CREATE INDEX SOLE_tblAllineati_GUID ON SOLE_tblAllineati (GUID);
CREATE INDEX SOLE_tblAllineati_IDPaziente ON SOLE_tblAllineati (IDPaziente);

---------------------------------------------------------------------------------------------
-- Diabetes module
---------------------------------------------------------------------------------------------

CREATE TABLE DIABETE_tblDatiExtra (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    TipoDiabete     VARCHAR(20),
    DataDiagnosi    DATETIME,
    Terapia         VARCHAR(100),
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX DIABETE_tblDatiExtra_GUID ON DIABETE_tblDatiExtra (GUID);
CREATE INDEX DIABETE_tblDatiExtra_IDPaziente ON DIABETE_tblDatiExtra (IDPaziente);

-- One follow-up visit; its measured items are in DIABETE_tblStoricoItems.
CREATE TABLE DIABETE_tblStorico (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    Data            DATETIME,
    TipoVisita      VARCHAR(50),
    Note            TEXT,
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX DIABETE_tblStorico_GUID ON DIABETE_tblStorico (GUID);
CREATE INDEX DIABETE_tblStorico_IDPaziente ON DIABETE_tblStorico (IDPaziente);

CREATE TABLE DIABETE_tblStoricoItems (
    ID              INTEGER PRIMARY KEY AUTOINCREMENT,
    GUID            VARCHAR(38),
    IDPaziente      INTEGER,
    IDStorico       INTEGER,
    Item            VARCHAR(100),
    Valore          VARCHAR(100),
    LastUpdate      DATETIME,
    LastInsert      DATETIME,
    ToSend          INTEGER NOT NULL DEFAULT 0,
    ToRepl          INTEGER NOT NULL DEFAULT 0,
    ModificatoDa    VARCHAR(50)
);
CREATE INDEX DIABETE_tblStoricoItems_GUID ON DIABETE_tblStoricoItems (GUID);
CREATE INDEX DIABETE_tblStoricoItems_IDPaziente ON DIABETE_tblStoricoItems (IDPaziente);
