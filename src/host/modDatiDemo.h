#pragma once

#include <span>

// Built-in sample data of the archive generator: names, municipalities, streets and small
// catalogues of drugs, tests, visits, diagnoses and exemptions. Texts are UTF-8.
namespace lanvera::host::demo {

struct Comune
{
    const char *nome;
    const char *provincia;
    const char *cap;
    const char *codice; // cadastral code used in fiscal codes
};

struct Principio
{
    const char *atc;
    const char *nome;
};

struct Farmaco
{
    const char *nome;
    int principio; // index into Principi()
    const char *classe;
    const char *nota;
    double prezzo;
    const char *posologia;
};

struct Esame
{
    const char *codice;
    const char *nome;
    const char *mw;
    const char *unita; // empty for instrumental tests
    double minimo;
    double massimo;
};

struct Visita
{
    const char *codice;
    const char *nome;
};

struct VoceICD9
{
    const char *codice;
    const char *descrizione;
};

struct Esenzione
{
    int idEsenzione;
    const char *codice;
    const char *descrizione;
    const char *letteraEsami;
    const char *lettera;
};

// A chronic condition: who gets it, its exemption code, its usual drugs and tests.
struct Condizione
{
    int diagnosi; // index into Diagnosi()
    int etaMinima;
    double probabilita;
    char sesso; // 'M', 'F' or 0 for both
    const char *esenzione;
    int farmaci[3]; // indexes into Farmaci(), -1 when unused
    int esami[3];   // indexes into Esami(), -1 when unused
};

// A short illness seen in the surgery.
struct Episodio
{
    int diagnosi; // index into Diagnosi()
    const char *testo;
    int farmaco; // index into Farmaci(), -1 when none
};

std::span<const Comune> Comuni();
std::span<const char *const> Cognomi();
std::span<const char *const> NomiMaschili();
std::span<const char *const> NomiFemminili();
std::span<const char *const> Vie();
std::span<const Principio> Principi();
std::span<const Farmaco> Farmaci();
std::span<const Esame> Esami();
std::span<const Visita> Visite();
std::span<const VoceICD9> Diagnosi();
std::span<const Esenzione> Esenzioni();
std::span<const Condizione> Condizioni();
std::span<const Episodio> Episodi();
std::span<const char *const> Vaccini();
std::span<const char *const> MotiviRevoca();
std::span<const char *const> MotiviDecesso();

} // namespace lanvera::host::demo
