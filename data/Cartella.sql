-- The tables of a patient's chart, in the order the package carries them.
-- One make-table statement per table: [ID] stands for the patient's local ID and [FileName]
-- for the package database. A statement begins right after the line break that follows the
-- semicolon ending the one before, with no blank line in between, and the file keeps CR LF
-- line breaks. The certificate tables hold parents and children alike: one statement each.
;
SELECT [tblAnagrafica].* INTO [tblAnagrafica] IN "[FileName]" FROM [tblAnagrafica] WHERE ID=[ID];
SELECT [tblAnagrafica2].* INTO [tblAnagrafica2] IN "[FileName]" FROM [tblAnagrafica2] WHERE IDPaziente=[ID];
SELECT [tblDiario].* INTO [tblDiario] IN "[FileName]" FROM [tblDiario] WHERE IDPaziente=[ID];
SELECT [tblProblemi].* INTO [tblProblemi] IN "[FileName]" FROM [tblProblemi] WHERE IDPaziente=[ID];
SELECT [tblCertificatiINAIL].* INTO [tblCertificatiINAIL] IN "[FileName]" FROM [tblCertificatiINAIL] WHERE IDPaziente=[ID];
SELECT [tblCertificatiINPS].* INTO [tblCertificatiINPS] IN "[FileName]" FROM [tblCertificatiINPS] WHERE IDPaziente=[ID];
SELECT [tblRicette].* INTO [tblRicette] IN "[FileName]" FROM [tblRicette] WHERE IDPaziente=[ID];
SELECT [DIABETE_tblStorico].* INTO [DIABETE_tblStorico] IN "[FileName]" FROM [DIABETE_tblStorico] WHERE IDPaziente=[ID];
SELECT [tblallergie].* INTO [tblallergie] IN "[FileName]" FROM [tblallergie] WHERE IDPaziente=[ID];
SELECT [tblAnamnesi].* INTO [tblAnamnesi] IN "[FileName]" FROM [tblAnamnesi] WHERE IDPaziente=[ID];
SELECT [tblanamnesifamiliare].* INTO [tblanamnesifamiliare] IN "[FileName]" FROM [tblanamnesifamiliare] WHERE IDPaziente=[ID];
SELECT [tblanamnesipatologica].* INTO [tblanamnesipatologica] IN "[FileName]" FROM [tblanamnesipatologica] WHERE IDPaziente=[ID];
SELECT [tblAppunti].* INTO [tblAppunti] IN "[FileName]" FROM [tblAppunti] WHERE IDPaziente=[ID];
SELECT [tbldiario pip].* INTO [tbldiario pip] IN "[FileName]" FROM [tbldiario pip] WHERE IDPaziente=[ID];
SELECT [tblesameobiettivo].* INTO [tblesameobiettivo] IN "[FileName]" FROM [tblesameobiettivo] WHERE IDPaziente=[ID];
SELECT [tblesami].* INTO [tblesami] IN "[FileName]" FROM [tblesami] WHERE IDPaziente=[ID];
SELECT [tblesamisospesi].* INTO [tblesamisospesi] IN "[FileName]" FROM [tblesamisospesi] WHERE IDPaziente=[ID];
SELECT [tblesenzioni].* INTO [tblesenzioni] IN "[FileName]" FROM [tblesenzioni] WHERE IDPaziente=[ID];
SELECT [tblmemocertificati].* INTO [tblmemocertificati] IN "[FileName]" FROM [tblmemocertificati] WHERE IDPaziente=[ID];
SELECT [tblmonitorbmi].* INTO [tblmonitorbmi] IN "[FileName]" FROM [tblmonitorbmi] WHERE IDPaziente=[ID];
SELECT [tblmonitorfumo].* INTO [tblmonitorfumo] IN "[FileName]" FROM [tblmonitorfumo] WHERE IDPaziente=[ID];
SELECT [tblmonitorglicemia].* INTO [tblmonitorglicemia] IN "[FileName]" FROM [tblmonitorglicemia] WHERE IDPaziente=[ID];
SELECT [tblmonitoripertensione].* INTO [tblmonitoripertensione] IN "[FileName]" FROM [tblmonitoripertensione] WHERE IDPaziente=[ID];
SELECT [tblmonitormetabolismolipidico].* INTO [tblmonitormetabolismolipidico] IN "[FileName]" FROM [tblmonitormetabolismolipidico] WHERE IDPaziente=[ID];
SELECT [tblmonitorpt].* INTO [tblmonitorpt] IN "[FileName]" FROM [tblmonitorpt] WHERE IDPaziente=[ID];
SELECT [tblpianoterapeutico].* INTO [tblpianoterapeutico] IN "[FileName]" FROM [tblpianoterapeutico] WHERE IDPaziente=[ID];
SELECT [tblposologia].* INTO [tblposologia] IN "[FileName]" FROM [tblposologia] WHERE IDPaziente=[ID];
SELECT [tblprescrizioni].* INTO [tblprescrizioni] IN "[FileName]" FROM [tblprescrizioni] WHERE IDPaziente=[ID];
SELECT [tblproblemidiario].* INTO [tblproblemidiario] IN "[FileName]" FROM [tblproblemidiario] WHERE IDPaziente=[ID];
SELECT [tblproblemisospetti].* INTO [tblproblemisospetti] IN "[FileName]" FROM [tblproblemisospetti] WHERE IDPaziente=[ID];
SELECT [tblRapporti].* INTO [tblRapporti] IN "[FileName]" FROM [tblRapporti] WHERE IDPaziente=[ID];
SELECT [tblRicettaFarmaci].* INTO [tblRicettaFarmaci] IN "[FileName]" FROM [tblRicettaFarmaci] WHERE IDPaziente=[ID];
SELECT [tblRicettaEsami].* INTO [tblRicettaEsami] IN "[FileName]" FROM [tblRicettaEsami] WHERE IDPaziente=[ID];
SELECT [tblRicettaVisite].* INTO [tblRicettaVisite] IN "[FileName]" FROM [tblRicettaVisite] WHERE IDPaziente=[ID];
SELECT [tblrischiocardiovascolare].* INTO [tblrischiocardiovascolare] IN "[FileName]" FROM [tblrischiocardiovascolare] WHERE IDPaziente=[ID];
SELECT [tblscadenze].* INTO [tblscadenze] IN "[FileName]" FROM [tblscadenze] WHERE IDPaziente=[ID];
SELECT [tblscreening].* INTO [tblscreening] IN "[FileName]" FROM [tblscreening] WHERE IDPaziente=[ID];
SELECT [tblstato].* INTO [tblstato] IN "[FileName]" FROM [tblstato] WHERE IDPaziente=[ID];
SELECT [tblStatoFarmaci].* INTO [tblStatoFarmaci] IN "[FileName]" FROM [tblStatoFarmaci] WHERE IDPaziente=[ID];
SELECT [tblvaccinazioni].* INTO [tblvaccinazioni] IN "[FileName]" FROM [tblvaccinazioni] WHERE IDPaziente=[ID];
SELECT [tblvisitesospese].* INTO [tblvisitesospese] IN "[FileName]" FROM [tblvisitesospese] WHERE IDPaziente=[ID];
SELECT [sole_tbllinkdiario].* INTO [sole_tbllinkdiario] IN "[FileName]" FROM [sole_tbllinkdiario] WHERE IDPaziente=[ID];
SELECT [sole_tbllinkprescrizioni].* INTO [sole_tbllinkprescrizioni] IN "[FileName]" FROM [sole_tbllinkprescrizioni] WHERE IDPaziente=[ID];
SELECT [SOLE_tblConsenso].* INTO [SOLE_tblConsenso] IN "[FileName]" FROM [SOLE_tblConsenso] WHERE IDPaziente=[ID];
SELECT [SOLE_tblAllineati].* INTO [SOLE_tblAllineati] IN "[FileName]" FROM [SOLE_tblAllineati] WHERE IDPaziente=[ID];
SELECT [DIABETE_tblDatiExtra].* INTO [DIABETE_tblDatiExtra] IN "[FileName]" FROM [DIABETE_tblDatiExtra] WHERE IDPaziente=[ID];
SELECT [DIABETE_tblStoricoItems].* INTO [DIABETE_tblStoricoItems] IN "[FileName]" FROM [DIABETE_tblStoricoItems] WHERE IDPaziente=[ID];
