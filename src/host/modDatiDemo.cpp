#include "modDatiDemo.h"

namespace lanvera::host::demo {

namespace {

constexpr Comune kComuni[] = {
    {"Bologna", "BO", "40124", "A944"},       {"Imola", "BO", "40026", "E289"},    {"Modena", "MO", "41121", "F257"},
    {"Ferrara", "FE", "44121", "D548"},       {"Ravenna", "RA", "48121", "H199"},  {"Forlì", "FC", "47121", "D704"},
    {"Rimini", "RN", "47921", "H294"},        {"Parma", "PR", "43121", "G337"},    {"Piacenza", "PC", "29121", "G535"},
    {"Reggio Emilia", "RE", "42121", "H223"}, {"Milano", "MI", "20121", "F205"},   {"Roma", "RM", "00184", "H501"},
    {"Napoli", "NA", "80133", "F839"},        {"Torino", "TO", "10121", "L219"},   {"Palermo", "PA", "90133", "G273"},
    {"Genova", "GE", "16121", "D969"},        {"Firenze", "FI", "50122", "D612"},  {"Bari", "BA", "70121", "A662"},
    {"Catania", "CT", "95121", "C351"},       {"Venezia", "VE", "30121", "L736"},  {"Verona", "VR", "37121", "L781"},
    {"Messina", "ME", "98122", "F158"},       {"Padova", "PD", "35121", "G224"},   {"Trieste", "TS", "34121", "L424"},
    {"Brescia", "BS", "25121", "B157"},       {"Perugia", "PG", "06121", "G478"},  {"Pisa", "PI", "56125", "G702"},
    {"Bergamo", "BG", "24121", "A794"},       {"Cagliari", "CA", "09124", "B354"}, {"Lecce", "LE", "73100", "E506"},
    {"Pescara", "PE", "65121", "G482"},       {"Salerno", "SA", "84121", "H703"},  {"Ancona", "AN", "60121", "A271"},
    {"Udine", "UD", "33100", "L483"},         {"Trento", "TN", "38122", "L378"},   {"Bolzano", "BZ", "39100", "A952"},
};

constexpr const char *kCognomi[] = {
    "Rossi",      "Russo",     "Ferrari",   "Esposito",   "Bianchi",    "Romano",    "Colombo",    "Ricci",
    "Marino",     "Greco",     "Bruno",     "Gallo",      "Conti",      "De Luca",   "Mancini",    "Costa",
    "Giordano",   "Rizzo",     "Lombardi",  "Moretti",    "Barbieri",   "Fontana",   "Santoro",    "Mariani",
    "Rinaldi",    "Caruso",    "Ferrara",   "Galli",      "Martini",    "Leone",     "Longo",      "Gentile",
    "Martinelli", "Vitale",    "Lombardo",  "Serra",      "Coppola",    "De Santis", "D'Angelo",   "Marchetti",
    "Parisi",     "Villa",     "Conte",     "Ferraro",    "Ferri",      "Fabbri",    "Bianco",     "Marini",
    "Grasso",     "Valentini", "Messina",   "Sala",       "De Angelis", "Gatti",     "Pellegrini", "Palumbo",
    "Sanna",      "Farina",    "Rizzi",     "Monti",      "Cattaneo",   "Morelli",   "Amato",      "Silvestri",
    "Mazza",      "Testa",     "Grassi",    "Pellegrino", "Carbone",    "Giuliani",  "Benedetti",  "Barone",
    "Rossetti",   "Caputo",    "Montanari", "Guerra",     "Palmieri",   "Bernardi",  "Martino",    "Fiore",
    "De Rosa",    "Ferretti",  "Bellini",   "Basile",     "Riva",       "Donati",    "Piras",      "Vitali",
    "Battaglia",  "Sartori",   "Neri",      "Costantini", "Milani",     "Pagano",    "Ruggiero",   "Sorrentino",
    "D'Amico",    "Orlando",   "Negri",     "Dell'Acqua", "Lucà",       "Zanetti",   "Fo",         "Re",
};

constexpr const char *kNomiMaschili[] = {
    "Giuseppe",  "Giovanni", "Antonio",  "Mario",      "Luigi",     "Francesco", "Angelo",     "Vincenzo", "Pietro",
    "Salvatore", "Carlo",    "Franco",   "Domenico",   "Bruno",     "Paolo",     "Michele",    "Giorgio",  "Aldo",
    "Sergio",    "Luciano",  "Marco",    "Alessandro", "Andrea",    "Luca",      "Matteo",     "Lorenzo",  "Davide",
    "Simone",    "Federico", "Riccardo", "Stefano",    "Roberto",   "Massimo",   "Gianfranco", "Nicolò",   "Emanuele",
    "Tommaso",   "Leonardo", "Gabriele", "Pier Paolo", "Gian Luca", "Elia",      "Ugo",        "Ivo",
};

constexpr const char *kNomiFemminili[] = {
    "Maria",    "Anna",       "Giuseppina", "Rosa",       "Angela",     "Giovanna",     "Teresa",   "Lucia",
    "Carmela",  "Caterina",   "Francesca",  "Antonietta", "Elena",      "Chiara",       "Sara",     "Giulia",
    "Martina",  "Alessandra", "Laura",      "Paola",      "Silvia",     "Valentina",    "Federica", "Elisa",
    "Roberta",  "Cristina",   "Simona",     "Barbara",    "Monica",     "Daniela",      "Sofia",    "Aurora",
    "Beatrice", "Emma",       "Noemi",      "Ilaria",     "Anna Maria", "Maria Grazia", "Ada",      "Iole",
};

constexpr const char *kVie[] = {
    "Via Roma",
    "Via Garibaldi",
    "Corso Italia",
    "Piazza Mazzini",
    "Via Dante Alighieri",
    "Via Giuseppe Verdi",
    "Via Guglielmo Marconi",
    "Viale della Repubblica",
    "Via XX Settembre",
    "Via Cavour",
    "Via Matteotti",
    "Via San Donato",
    "Via dell'Indipendenza",
    "Via Emilia",
    "Via Saragozza",
    "Via Andrea Costa",
    "Viale Aldo Moro",
    "Via dei Mille",
    "Via Vittorio Veneto",
    "Via Nazario Sauro",
};

constexpr Principio kPrincipi[] = {
    {"C08CA01", "Amlodipina"},
    {"A10BA02", "Metformina"},
    {"C10AA05", "Atorvastatina"},
    {"C10AA01", "Simvastatina"},
    {"C09AA05", "Ramipril"},
    {"C09CA01", "Losartan"},
    {"C07AB07", "Bisoprololo"},
    {"C03CA01", "Furosemide"},
    {"C03AA03", "Idroclorotiazide"},
    {"B01AC06", "Acido acetilsalicilico"},
    {"B01AA03", "Warfarin"},
    {"A02BC01", "Omeprazolo"},
    {"A02BC02", "Pantoprazolo"},
    {"H03AA01", "Levotiroxina sodica"},
    {"R03AK06", "Salmeterolo e fluticasone"},
    {"R03AC02", "Salbutamolo"},
    {"N06AB04", "Citalopram"},
    {"N06AB06", "Sertralina"},
    {"N05BA12", "Alprazolam"},
    {"M01AE01", "Ibuprofene"},
    {"N02BE01", "Paracetamolo"},
    {"J01CR02", "Amoxicillina e acido clavulanico"},
    {"J01FA10", "Azitromicina"},
    {"M05BA04", "Acido alendronico"},
    {"G04CA02", "Tamsulosina"},
    {"A10AE04", "Insulina glargine"},
    {"A10BB12", "Glimepiride"},
    {"B01AF01", "Rivaroxaban"},
    {"R06AE07", "Cetirizina"},
    {"J01MA02", "Ciprofloxacina"},
    {"C01DA14", "Isosorbide mononitrato"},
    {"A11CC05", "Colecalciferolo"},
    {"N03AX16", "Pregabalin"},
    {"J01CA04", "Amoxicillina"},
    {"C09AA02", "Enalapril"},
};

constexpr Farmaco kFarmaci[] = {
    {"Amlodipina 5 mg 28 compresse", 0, "A", "", 3.52, "1 cp al mattino"},
    {"Amlodipina 10 mg 28 compresse", 0, "A", "", 4.97, "1 cp al mattino"},
    {"Metformina 500 mg 50 compresse", 1, "A", "", 2.53, "1 cp ai pasti principali"},
    {"Metformina 1000 mg 60 compresse", 1, "A", "", 3.85, "1 cp a pranzo e cena"},
    {"Atorvastatina 20 mg 30 compresse", 2, "A", "13", 6.39, "1 cp la sera"},
    {"Simvastatina 20 mg 28 compresse", 3, "A", "13", 4.02, "1 cp la sera"},
    {"Ramipril 5 mg 28 compresse", 4, "A", "", 3.68, "1 cp al mattino"},
    {"Losartan 50 mg 28 compresse", 5, "A", "", 5.32, "1 cp al mattino"},
    {"Bisoprololo 2,5 mg 28 compresse", 6, "A", "", 4.20, "1 cp al mattino"},
    {"Furosemide 25 mg 30 compresse", 7, "A", "", 2.27, "1 cp al mattino"},
    {"Idroclorotiazide 25 mg 20 compresse", 8, "A", "", 2.10, "1/2 cp al mattino"},
    {"Acido acetilsalicilico 100 mg 30 compresse gastroresistenti", 9, "A", "", 2.08, "1 cp a pranzo"},
    {"Warfarin 5 mg 30 compresse", 10, "A", "", 3.30, "secondo schema INR"},
    {"Omeprazolo 20 mg 14 capsule", 11, "A", "1-48", 4.76, "1 cps a digiuno"},
    {"Pantoprazolo 40 mg 28 compresse", 12, "A", "1-48", 7.81, "1 cp a digiuno"},
    {"Levotiroxina 50 mcg 50 compresse", 13, "A", "", 3.04, "1 cp a digiuno"},
    {"Salmeterolo/fluticasone 50/250 mcg polvere per inalazione", 14, "A", "99", 38.50, "1 inal. 2 volte al dì"},
    {"Salbutamolo 100 mcg sospensione pressurizzata", 15, "A", "", 4.29, "2 spruzzi al bisogno"},
    {"Citalopram 20 mg 28 compresse", 16, "A", "", 5.84, "1 cp al mattino"},
    {"Sertralina 50 mg 15 compresse", 17, "A", "", 4.03, "1 cp al mattino"},
    {"Alprazolam 0,25 mg 20 compresse", 18, "C", "", 5.10, "1 cp la sera"},
    {"Ibuprofene 600 mg 30 compresse", 19, "A", "66", 4.47, "1 cp 2 volte al dì a stomaco pieno"},
    {"Paracetamolo 1000 mg 16 compresse", 20, "C", "", 4.90, "1 cp al bisogno, max 3 al dì"},
    {"Amoxicillina/acido clavulanico 875/125 mg 12 compresse", 21, "A", "", 6.76, "1 cp ogni 12 ore"},
    {"Azitromicina 500 mg 3 compresse", 22, "A", "", 8.49, "1 cp al giorno per 3 giorni"},
    {"Acido alendronico 70 mg 4 compresse", 23, "A", "79", 9.91, "1 cp alla settimana a digiuno"},
    {"Tamsulosina 0,4 mg 20 capsule", 24, "A", "", 6.95, "1 cps la sera"},
    {"Insulina glargine 100 U/ml 5 penne preriempite", 25, "A", "", 62.30, "secondo schema"},
    {"Glimepiride 2 mg 30 compresse", 26, "A", "", 3.17, "1 cp a colazione"},
    {"Rivaroxaban 20 mg 28 compresse", 27, "A", "97", 80.85, "1 cp a cena"},
    {"Cetirizina 10 mg 20 compresse", 28, "C", "", 6.50, "1 cp la sera"},
    {"Ciprofloxacina 500 mg 6 compresse", 29, "A", "", 5.60, "1 cp ogni 12 ore"},
    {"Isosorbide mononitrato 40 mg 30 compresse", 30, "A", "", 3.40, "1 cp al mattino"},
    {"Colecalciferolo 25.000 UI soluzione orale 1 flacone", 31, "A", "96", 3.98, "1 flacone ogni 15 giorni"},
    {"Pregabalin 75 mg 56 capsule", 32, "A", "4", 9.10, "1 cps 2 volte al dì"},
    {"Amoxicillina 1 g 12 compresse", 33, "A", "", 5.23, "1 cp ogni 8 ore"},
    {"Enalapril 20 mg 28 compresse", 34, "A", "", 3.95, "1 cp al mattino"},
};

constexpr Esame kEsami[] = {
    {"90.27.1", "Glucosio", "GLU", "mg/dl", 70, 110},
    {"90.14.3", "Colesterolo totale", "COL", "mg/dl", 120, 200},
    {"90.14.1", "Colesterolo HDL", "HDL", "mg/dl", 40, 90},
    {"90.43.2", "Trigliceridi", "TRI", "mg/dl", 40, 150},
    {"90.62.2", "Emocromo: Hb, GR, GB, HCT, PLT, indici derivati, formula leucocitaria", "EMO", "g/dl", 12, 16},
    {"90.16.3", "Creatinina", "CRE", "mg/dl", 0.6, 1.2},
    {"90.04.5", "Alanina aminotransferasi (ALT) (GPT)", "ALT", "U/l", 5, 40},
    {"90.09.2", "Aspartato aminotransferasi (AST) (GOT)", "AST", "U/l", 5, 40},
    {"90.28.1", "Hb - Emoglobina glicata", "HBA", "%", 4.0, 6.0},
    {"90.42.1", "Tireotropina (TSH)", "TSH", "mU/l", 0.4, 4.0},
    {"90.75.4", "Tempo di protrombina (PT)", "PT", "INR", 0.8, 1.2},
    {"90.44.1", "Urea", "URE", "mg/dl", 15, 45},
    {"89.52", "Elettrocardiogramma", "", "", 0, 0},
    {"88.74.1", "Ecografia dell'addome superiore", "", "", 0, 0},
    {"87.44.1", "Radiografia del torace di routine", "", "", 0, 0},
    {"87.37.1", "Mammografia bilaterale", "", "", 0, 0},
    {"88.72.3", "Ecocolordopplergrafia cardiaca", "", "", 0, 0},
    {"45.23", "Colonscopia con endoscopio flessibile", "", "", 0, 0},
};

constexpr Visita kVisite[] = {
    {"89.7", "Visita generale"},
    {"89.13", "Visita neurologica"},
    {"89.26", "Visita ginecologica"},
    {"95.02", "Esame complessivo dell'occhio"},
    {"89.7A.3", "Prima visita cardiologica"},
    {"89.7B.7", "Prima visita ortopedica"},
    {"89.7A.7", "Prima visita dermatologica"},
    {"89.7B.8", "Prima visita otorinolaringoiatrica"},
    {"89.7A.8", "Prima visita endocrinologica"},
};

constexpr VoceICD9 kDiagnosi[] = {
    {"401.9", "Ipertensione essenziale non specificata"},
    {"250.00", "Diabete mellito tipo II senza menzione di complicazioni"},
    {"272.0", "Ipercolesterolemia pura"},
    {"493.90", "Asma non specificata"},
    {"496", "Ostruzioni croniche delle vie respiratorie, non classificate altrove"},
    {"427.31", "Fibrillazione atriale"},
    {"244.9", "Ipotiroidismo non specificato"},
    {"715.90", "Osteoartrosi generalizzata"},
    {"733.00", "Osteoporosi non specificata"},
    {"530.81", "Reflusso esofageo"},
    {"311", "Disturbo depressivo, non classificato altrove"},
    {"300.00", "Stato d'ansia non specificato"},
    {"600.00", "Ipertrofia (benigna) della prostata"},
    {"414.01", "Aterosclerosi coronarica di arteria coronarica nativa"},
    {"428.0", "Insufficienza cardiaca congestizia non specificata"},
    {"477.9", "Rinite allergica, causa non specificata"},
    {"724.2", "Lombalgia"},
    {"346.90", "Emicrania, non specificata"},
    {"692.9", "Dermatite da contatto ed altri eczemi, causa non specificata"},
    {"465.9", "Infezioni acute delle prime vie respiratorie, sede non specificata"},
    {"466.0", "Bronchite acuta"},
    {"599.0", "Infezione del sistema urinario, sede non specificata"},
    {"462", "Faringite acuta"},
    {"786.2", "Tosse"},
    {"780.4", "Vertigini e capogiri"},
    {"558.9", "Altre e non specificate gastroenteriti e coliti non infettive"},
    {"V70.0", "Visita medica generale"},
    {"278.00", "Obesità non specificata"},
    {"585.9", "Malattia renale cronica, non specificata"},
};

constexpr Esenzione kEsenzioni[] = {
    {101, "002", "Affezioni del sistema circolatorio", "A", "R"},
    {105, "007", "Asma", "A", "R"},
    {367, "013", "Diabete mellito", "A", "R"},
    {112, "021", "Insufficienza cardiaca (NYHA classe III e IV)", "A", "R"},
    {118, "024", "Insufficienza respiratoria cronica", "A", "R"},
    {121, "027", "Ipotiroidismo congenito, ipotiroidismo acquisito (grave)", "A", "R"},
    {249, "031", "Ipertensione arteriosa", "A", ""},
    {249, "0031", "Ipertensione arteriosa con danno d'organo", "A", "R"},
    {140, "048", "Soggetti affetti da patologie neoplastiche maligne", "AR", "R"},
    {900, "E01", "Reddito: età inferiore a 6 o superiore a 65 anni", "A", ""},
    {901, "E02", "Reddito: disoccupati e familiari a carico", "A", ""},
    {903, "E04", "Reddito: titolari di pensione al minimo", "A", ""},
};

constexpr Condizione kCondizioni[] = {
    {0, 40, 0.30, 0, "031", {0, 6, 7}, {5, 12, -1}},      {1, 45, 0.09, 0, "013", {2, 3, 28}, {8, 0, 5}},
    {2, 40, 0.18, 0, "", {4, 5, -1}, {1, 2, 3}},          {3, 14, 0.05, 0, "007", {16, 17, -1}, {-1, -1, -1}},
    {4, 55, 0.05, 0, "024", {16, 17, -1}, {14, -1, -1}},  {5, 60, 0.06, 0, "021", {12, 8, -1}, {12, 10, -1}},
    {6, 20, 0.06, 'F', "027", {15, -1, -1}, {9, -1, -1}}, {7, 50, 0.18, 0, "", {21, 22, -1}, {-1, -1, -1}},
    {8, 55, 0.14, 'F', "", {25, 33, -1}, {-1, -1, -1}},   {9, 20, 0.08, 0, "", {14, 13, -1}, {13, -1, -1}},
    {10, 18, 0.05, 0, "", {18, 19, -1}, {-1, -1, -1}},    {11, 18, 0.05, 0, "", {20, -1, -1}, {-1, -1, -1}},
    {12, 50, 0.25, 'M', "", {26, -1, -1}, {-1, -1, -1}},  {13, 50, 0.04, 0, "002", {11, 32, 4}, {12, 16, -1}},
    {14, 65, 0.03, 0, "021", {9, 8, 36}, {12, 16, 5}},    {15, 14, 0.07, 0, "", {30, -1, -1}, {-1, -1, -1}},
    {27, 18, 0.08, 0, "", {-1, -1, -1}, {0, 1, -1}},      {28, 65, 0.03, 0, "", {-1, -1, -1}, {5, 11, -1}},
};

constexpr Episodio kEpisodi[] = {
    {19, "Febbre e rinorrea da 2 giorni, faringe iperemica. Consigliati riposo e antipiretici.", 22},
    {20, "Tosse produttiva da una settimana, ronchi sparsi all'auscultazione.", 23},
    {21, "Disuria e pollachiuria da ieri. Stick urine positivo per leucociti.", 31},
    {22, "Faringodinia intensa, febbre 38,5°C, essudato tonsillare.", 35},
    {23, "Tosse secca persistente, torace libero all'auscultazione.", -1},
    {24, "Vertigini soggettive al cambio di posizione, non nistagmo.", -1},
    {25, "Diarrea e crampi addominali da 2 giorni, apiretico. Idratazione.", -1},
    {16, "Lombalgia acuta dopo sforzo, Lasègue negativo. FANS per 5 giorni.", 21},
    {17, "Cefalea emicranica con fotofobia, episodi ricorrenti.", 22},
    {18, "Eritema pruriginoso al polso da contatto con cinturino metallico.", -1},
    {26, "Visita per certificato di idoneità all'attività sportiva non agonistica.", -1},
};

constexpr const char *kVaccini[] = {
    "Antinfluenzale",
    "Antipneumococcico coniugato 13-valente",
    "Difterite-tetano-pertosse (richiamo)",
    "Anti COVID-19",
    "Anti herpes zoster",
    "Anti epatite B",
    "Anti HPV 9-valente",
    "Morbillo-parotite-rosolia-varicella",
};

constexpr const char *kMotiviRevoca[] = {
    "Trasferimento",       "Trasferimento in altra ASL", "Scelta di altro medico",
    "Cambio di residenza", "Revoca d'ufficio",           "Scadenza permesso di soggiorno",
};

constexpr const char *kMotiviDecesso[] = {"Decesso", "DECESSO", "Morte", "Deceduto in ospedale"};

} // namespace

std::span<const Comune> Comuni()
{
    return kComuni;
}
std::span<const char *const> Cognomi()
{
    return kCognomi;
}
std::span<const char *const> NomiMaschili()
{
    return kNomiMaschili;
}
std::span<const char *const> NomiFemminili()
{
    return kNomiFemminili;
}
std::span<const char *const> Vie()
{
    return kVie;
}
std::span<const Principio> Principi()
{
    return kPrincipi;
}
std::span<const Farmaco> Farmaci()
{
    return kFarmaci;
}
std::span<const Esame> Esami()
{
    return kEsami;
}
std::span<const Visita> Visite()
{
    return kVisite;
}
std::span<const VoceICD9> Diagnosi()
{
    return kDiagnosi;
}
std::span<const Esenzione> Esenzioni()
{
    return kEsenzioni;
}
std::span<const Condizione> Condizioni()
{
    return kCondizioni;
}
std::span<const Episodio> Episodi()
{
    return kEpisodi;
}
std::span<const char *const> Vaccini()
{
    return kVaccini;
}
std::span<const char *const> MotiviRevoca()
{
    return kMotiviRevoca;
}
std::span<const char *const> MotiviDecesso()
{
    return kMotiviDecesso;
}

} // namespace lanvera::host::demo
