#include "tools/sample_data/text_words.h"

#include <algorithm>

namespace {

constexpr TextBox kOn = TextBox::kOnScreen;

// Shared by both tables: the race names its computer drivers after the
// characters and titles its results with the track names.
#define CHARACTER_NAMES                                                            \
  {100, true, kOn, {"Quorrel", "Quorrel", "Quorrel", "Quorrel", "Quorrel"}},       \
      {200, true, kOn, {"Bongo", "Bongo", "Bongo", "Bongo", "Bongo"}},             \
      {300, true, kOn, {"Zorbo", "Zorbo", "Zorbo", "Zorbo", "Zorbo"}},             \
      {400, true, kOn, {"Krox", "Krox", "Krox", "Krox", "Krox"}},                  \
      {500, true, kOn, {"Punky", "Punky", "Punky", "Punky", "Punky"}}, {           \
    600, true, kOn, { "Mortimer", "Mortimer", "Mortimer", "Mortimer", "Mortimer" } \
  }

// By track file number n at 3000 + 100 (n - 1).
#define TRACK_NAMES                                                                                                  \
  {3000,                                                                                                             \
   false,                                                                                                            \
   kOn,                                                                                                              \
   {"Steinzeit-Schlucht", "Stone Age Canyon", "Canyon préhistorique", "Cañón prehistórico", "Canyon preistorico"}},  \
      {3100, false, kOn, {"Pirateninsel", "Pirate Island", "Île aux pirates", "Isla pirata", "Isola dei pirati"}},   \
      {3200, false, kOn, {"Römisches Forum", "Roman Forum", "Forum romain", "Foro romano", "Foro romano"}},          \
      {3300,                                                                                                         \
       false,                                                                                                        \
       kOn,                                                                                                          \
       {"Sherwood-Wald", "Sherwood Forest", "Forêt de Sherwood", "Bosque de Sherwood", "Foresta di Sherwood"}},      \
      {3400,                                                                                                         \
       false,                                                                                                        \
       kOn,                                                                                                          \
       {"Pyramiden-Oase", "Pyramid Oasis", "Oasis des pyramides", "Oasis de las pirámides", "Oasi delle piramidi"}}, \
      {3500, false, kOn, {"Wilder Westen", "Wild West", "Far West", "Lejano Oeste", "Selvaggio West"}},              \
      {3600, false, kOn, {"UFO-Basis", "UFO Base", "Base OVNI", "Base OVNI", "Base UFO"}}, {                         \
    3700, false, kOn, {                                                                                              \
      "Himalaya-Pass", "Himalaya Pass", "Col de l'Himalaya", "Paso del Himalaya", "Passo dell'Himalaya"              \
    }                                                                                                                \
  }

// Karts 0..7 and engine classes 0..2: the menus name them, and so may
// the race.
#define KART_AND_CLASS_NAMES                                                     \
  {700, true, kOn, {"Comet", "Comet", "Comet", "Comet", "Comet"}},               \
      {701, true, kOn, {"Hornet", "Hornet", "Hornet", "Hornet", "Hornet"}},      \
      {702, true, kOn, {"Boulder", "Boulder", "Boulder", "Boulder", "Boulder"}}, \
      {703, true, kOn, {"Viper", "Viper", "Viper", "Viper", "Viper"}},           \
      {704, true, kOn, {"Cyclone", "Cyclone", "Cyclone", "Cyclone", "Cyclone"}}, \
      {705, true, kOn, {"Pebble", "Pebble", "Pebble", "Pebble", "Pebble"}},      \
      {706, true, kOn, {"Thunder", "Thunder", "Thunder", "Thunder", "Thunder"}}, \
      {707, true, kOn, {"Mirage", "Mirage", "Mirage", "Mirage", "Mirage"}},      \
      {800, false, kOn, {"50 ccm", "50 cc", "50 cm³", "50 cc", "50 cc"}},        \
      {810, false, kOn, {"100 ccm", "100 cc", "100 cm³", "100 cc", "100 cc"}}, { \
    820, false, kOn, { "150 ccm", "150 cc", "150 cm³", "150 cc", "150 cc" }      \
  }

const SampleText kMenu[] = {
    CHARACTER_NAMES,
    KART_AND_CLASS_NAMES,
    // Quit dialog.
    {1001, false, kOn, {"Ja", "Yes", "Oui", "Sí", "Sì"}},
    {1002, false, kOn, {"Nein", "No", "Non", "No", "No"}},
    // Detail levels: quarter, half and whole texture size.
    {1020, false, kOn, {"Niedrig", "Low", "Basse", "Baja", "Bassa"}},
    {1021, false, kOn, {"Mittel", "Medium", "Moyenne", "Media", "Media"}},
    {1022, false, kOn, {"Hoch", "High", "Haute", "Alta", "Alta"}},
    // Game modes and the main menu's entries.
    {2000, false, kOn, {"Meisterschaft", "Championship", "Championnat", "Campeonato", "Campionato"}},
    {2010, false, kOn, {"Zeitreise-Cup", "Time Travel Cup", "Coupe des Époques", "Copa del Tiempo", "Coppa del Tempo"}},
    {2020, false, kOn, {"Abenteuer-Cup", "Adventure Cup", "Coupe Aventure", "Copa Aventura", "Coppa Avventura"}},
    {2100, false, kOn, {"Zeitfahren", "Time Trial", "Contre-la-montre", "Contrarreloj", "A cronometro"}},
    {2110, false, kOn, {"Rennen", "Race", "Course", "Carrera", "Gara"}},
    {2120, false, kOn, {"Freies Fahren", "Free Ride", "Course libre", "Carrera libre", "Corsa libera"}},
    {2200, false, kOn, {"Ausscheidung", "Last Man Standing", "Élimination", "Eliminación", "Eliminazione"}},
    {2300, false, kOn, {"Netzwerkspiel", "Network Game", "Jeu en réseau", "Juego en red", "Gioco in rete"}},
    {2310, false, kOn, {"Spiel eröffnen", "Host a game", "Créer une partie", "Crear partida", "Crea partita"}},
    {2320, false, kOn, {"Spiel beitreten", "Join a game", "Rejoindre", "Unirse", "Partecipa"}},
    {2330,
     false,
     kOn,
     {"Adresse des Hosts:", "Host's address:", "Adresse de l'hôte :", "Dirección del anfitrión:",
      "Indirizzo dell'host:"}},
    {2331,
     false,
     kOn,
     {"Adresse wie 192.168.0.2 eingeben", "Type an address like 192.168.0.2", "Saisir une adresse : 192.168.0.2",
      "Escriba una dirección: 192.168.0.2", "Inserire un indirizzo: 192.168.0.2"}},
    {2350, false, kOn, {"Zwei Spieler", "Two Players", "Deux joueurs", "Dos jugadores", "Due giocatori"}},
    {2400, false, kOn, {"Bestenliste", "Highscores", "Records", "Récords", "Record"}},
    // Highscore columns.
    {2420, false, kOn, {"Name", "Name", "Nom", "Nombre", "Nome"}},
    {2430, false, kOn, {"Zeit", "Time", "Temps", "Tiempo", "Tempo"}},
    {2440, false, kOn, {"Punkte", "Points", "Points", "Puntos", "Punti"}},
    {2450, false, kOn, {"Figur", "Character", "Personnage", "Personaje", "Personaggio"}},
    {2471, false, kOn, {"Runden:", "Laps:", "Tours :", "Vueltas:", "Giri:"}},
    {2480, true, kOn, {"Kart", "Kart", "Kart", "Kart", "Kart"}},
    // Options.
    {2500, false, kOn, {"Optionen", "Options", "Options", "Opciones", "Opzioni"}},
    {2510,
     false,
     kOn,
     {"Bildschirmauflösung", "Screen resolution", "Résolution d'écran", "Resolución", "Risoluzione schermo"}},
    {2515, false, kOn, {"Helligkeit", "Brightness", "Luminosité", "Brillo", "Luminosità"}},
    {2516, false, kOn, {"Kontrast", "Contrast", "Contraste", "Contraste", "Contrasto"}},
    {2517, false, kOn, {"Gamma", "Gamma", "Gamma", "Gama", "Gamma"}},
    {2520, false, kOn, {"Musik", "Music", "Musique", "Música", "Musica"}},
    {2530, false, kOn, {"Effekte", "Sound effects", "Effets sonores", "Efectos", "Effetti"}},
    {2540, false, kOn, {"Modelldetails", "Model detail", "Modèles", "Modelos", "Modelli"}},
    {2550, false, kOn, {"Texturdetails", "Texture detail", "Textures", "Texturas", "Texture"}},
    {2560, false, kOn, {"Name Spieler 1", "Player 1 name", "Nom joueur 1", "Nombre jugador 1", "Nome giocatore 1"}},
    {2570, false, kOn, {"Name Spieler 2", "Player 2 name", "Nom joueur 2", "Nombre jugador 2", "Nome giocatore 2"}},
    {2580, false, kOn, {"Sprache", "Language", "Langue", "Idioma", "Lingua"}},
    {2590, false, kOn, {"Deutsch", "German", "Allemand", "Alemán", "Tedesco"}},
    {2591, false, kOn, {"Englisch", "English", "Anglais", "Inglés", "Inglese"}},
    {2592, false, kOn, {"Französisch", "French", "Français", "Francés", "Francese"}},
    {2593, false, kOn, {"Spanisch", "Spanish", "Espagnol", "Español", "Spagnolo"}},
    {2594, false, kOn, {"Italienisch", "Italian", "Italien", "Italiano", "Italiano"}},
    {2595, false, kOn, {"Russisch", "Russian", "Russe", "Ruso", "Russo"}},
    {2600, false, kOn, {"Mitwirkende", "Credits", "Crédits", "Créditos", "Crediti"}},
    TRACK_NAMES,
    // The help page: title, controls and the table of keys.
    {3999, false, kOn, {"Hilfe", "Help", "Aide", "Ayuda", "Aiuto"}},
    {4000, false, kOn, {"Steuerung", "Controls", "Commandes", "Controles", "Comandi"}},
    {4001,
     false,
     kOn,
     {"Die Leertaste startet das Rennen, P hält es an und Escape öffnet das Pausenmenü. Fährst du allein, "
      "lenkst du mit beiden Tastengruppen.",
      "Space starts the race, P pauses it and Escape opens the pause menu. When you race alone, both sets of "
      "driving keys steer your kart.",
      "Espace lance la course, P la met en pause et Échap ouvre le menu de pause. Seul en course, vous pouvez "
      "piloter avec les deux groupes de touches.",
      "Espacio inicia la carrera, P la pausa y Escape abre el menú de pausa. Si corres solo, puedes conducir con "
      "los dos grupos de teclas.",
      "Spazio avvia la gara, P la mette in pausa ed Esc apre il menu di pausa. Se corri da solo, guidi con "
      "entrambi i gruppi di tasti."}},
    {4010, false, kOn, {"Aktion", "Action", "Action", "Acción", "Azione"}},
    {4011, false, kOn, {"Spieler 1", "Player 1", "Joueur 1", "Jugador 1", "Giocatore 1"}},
    {4012, false, kOn, {"Spieler 2", "Player 2", "Joueur 2", "Jugador 2", "Giocatore 2"}},
    {4013, false, kOn, {"Gas geben", "Accelerate", "Accélérer", "Acelerar", "Accelerare"}},
    {4014, true, kOn, {"W", "W", "W", "W", "W"}},
    {4015, false, kOn, {"Pfeil hoch", "Up arrow", "Flèche haut", "Flecha arriba", "Freccia su"}},
    {4016, false, kOn, {"Bremsen", "Brake", "Freiner", "Frenar", "Frenare"}},
    {4017, true, kOn, {"S", "S", "S", "S", "S"}},
    {4018, false, kOn, {"Pfeil runter", "Down arrow", "Flèche bas", "Flecha abajo", "Freccia giù"}},
    {4019, false, kOn, {"Links lenken", "Steer left", "À gauche", "Girar izquierda", "Sterza a sinistra"}},
    {4020, true, kOn, {"A", "A", "A", "A", "A"}},
    {4021, false, kOn, {"Pfeil links", "Left arrow", "Flèche gauche", "Flecha izquierda", "Freccia sinistra"}},
    {4022, false, kOn, {"Rechts lenken", "Steer right", "À droite", "Girar derecha", "Sterza a destra"}},
    {4023, true, kOn, {"D", "D", "D", "D", "D"}},
    {4024, false, kOn, {"Pfeil rechts", "Right arrow", "Flèche droite", "Flecha derecha", "Freccia destra"}},
    {4025, false, kOn, {"Extra einsetzen", "Use extra", "Utiliser le bonus", "Usar el extra", "Usa l'extra"}},
    {4026, false, kOn, {"Leertaste", "Space", "Espace", "Espacio", "Spazio"}},
    {4027, false, kOn, {"Strg rechts", "Right Ctrl", "Ctrl droite", "Ctrl derecho", "Ctrl destro"}},
    {4028, false, kOn, {"Zurückschauen", "Look back", "Regarder derrière", "Mirar atrás", "Guarda indietro"}},
    {4029, true, kOn, {"Tab", "Tab", "Tab", "Tab", "Tab"}},
    {4030, false, kOn, {"Ziffernblock 0", "Keypad 0", "Pavé num. 0", "Teclado num. 0", "Tastierino 0"}},
    {4031,
     false,
     kOn,
     {"Zurück auf die Piste", "Back on track", "Retour en piste", "Volver a la pista", "Torna in pista"}},
    {4032, false, kOn, {"Rücktaste", "Backspace", "Retour arrière", "Retroceso", "Backspace"}},
    {4033, false, kOn, {"Ziffernblock Enter", "Keypad Enter", "Pavé num. Entrée", "Intro num.", "Invio tastierino"}},
    // The help page's extras.
    {5000, false, kOn, {"Extras", "Extras", "Bonus", "Extras", "Extra"}},
    {5001,
     false,
     kOn,
     {"Fahr durch die Fragezeichen-Kisten auf der Strecke, um ein Extra aufzusammeln. Es erscheint oben links; "
      "mit deiner Extra-Taste setzt du es ein. Wer weiter hinten liegt, bekommt die besseren Extras.",
      "Drive through the question-mark boxes on the track to pick up an extra. It shows in the top left corner; "
      "press your extra key to use it. The further back you are, the better the extras you get.",
      "Traversez les caisses à point d'interrogation pour ramasser un bonus. Il s'affiche en haut à gauche ; "
      "votre touche bonus le déclenche. Plus vous êtes loin derrière, meilleurs sont les bonus.",
      "Atraviesa las cajas con interrogación de la pista para coger un extra. Aparece arriba a la izquierda; "
      "úsalo con tu tecla de extra. Cuanto más atrás vayas, mejores extras recibirás.",
      "Attraversa le casse con il punto interrogativo per raccogliere un extra. Compare in alto a sinistra; "
      "usalo con il tuo tasto extra. Più sei indietro, migliori sono gli extra."}},
    {5010, false, kOn, {"Schutzschild", "Shield", "Bouclier", "Escudo", "Scudo"}},
    {5011,
     false,
     kOn,
     {"Schützt dein Kart fast zehn Sekunden lang vor Minen, Seifenblasen, Eis und den meisten anderen Angriffen.",
      "Protects your kart for almost ten seconds from mines, soap bubbles, ice and most other attacks.",
      "Protège votre kart pendant près de dix secondes contre les mines, les bulles, la glace et presque tout le "
      "reste.",
      "Protege tu kart durante casi diez segundos de minas, pompas, hielo y de casi todos los demás ataques.",
      "Protegge il tuo kart per quasi dieci secondi da mine, bolle, ghiaccio e quasi tutti gli altri attacchi."}},
    {5020, true, kOn, {"Turbo", "Turbo", "Turbo", "Turbo", "Turbo"}},
    {5021,
     false,
     kOn,
     {"Fünf Sekunden volle Kraft: dein Kart fährt schneller als alle anderen.",
      "Five seconds of full power: your kart drives faster than all the others.",
      "Cinq secondes à pleine puissance : votre kart va plus vite que tous les autres.",
      "Cinco segundos a toda potencia: tu kart corre más que todos los demás.",
      "Cinque secondi a tutta potenza: il tuo kart va più veloce di tutti gli altri."}},
    {5030, false, kOn, {"Magnet", "Magnet", "Aimant", "Imán", "Calamita"}},
    {5031,
     false,
     kOn,
     {"Wirf ihn hinter dich: Er zieht die Karts an, die ihm zu nahe kommen, und bremst sie aus.",
      "Throw it behind you: it pulls in the karts that come too close and slows them down.",
      "Lancez-le derrière vous : il attire les karts qui s'approchent trop et les ralentit.",
      "Lánzalo detrás de ti: atrae a los karts que se acercan demasiado y los frena.",
      "Lanciala dietro di te: attira i kart che si avvicinano troppo e li rallenta."}},
    {5040, false, kOn, {"Gewicht", "Weight", "Poids", "Pesa", "Peso"}},
    {5041,
     false,
     kOn,
     {"Ein Sechzehn-Tonnen-Gewicht: Wen es trifft, der wird platt gedrückt und muss warten.",
      "A sixteen-ton weight: any kart it lands on is flattened and has to wait.",
      "Un poids de seize tonnes : le kart qu'il écrase reste aplati un moment.",
      "Una pesa de dieciséis toneladas: el kart al que aplasta se queda plano un rato.",
      "Un peso da sedici tonnellate: il kart che colpisce resta schiacciato per un po'."}},
    {5050, false, kOn, {"Eisstrahl", "Froster", "Givreur", "Congelador", "Congelatore"}},
    {5051,
     false,
     kOn,
     {"Schießt einen Eisstrahl: Das getroffene Kart friert in einem Eisblock fest.",
      "Shoots a frost beam that freezes the kart it hits in a block of ice.",
      "Tire un rayon glacé qui enferme le kart touché dans un bloc de glace.",
      "Dispara un rayo helado que congela al kart alcanzado en un bloque de hielo.",
      "Spara un raggio gelato che congela il kart colpito in un blocco di ghiaccio."}},
    {5060, false, kOn, {"Blitz", "Flash", "Éclair", "Relámpago", "Lampo"}},
    {5061,
     false,
     kOn,
     {"Ein greller Blitz: Die getroffenen Karts können eine Weile kein Gas geben.",
      "A blinding flash: the karts it hits cannot accelerate for a while.",
      "Un éclair aveuglant : les karts touchés ne peuvent plus accélérer un moment.",
      "Un relámpago cegador: los karts alcanzados no pueden acelerar durante un rato.",
      "Un lampo accecante: i kart colpiti non possono accelerare per un po'."}},
    {5070, false, kOn, {"Mine", "Mine", "Mine", "Mina", "Mina"}},
    {5071,
     false,
     kOn,
     {"Leg sie auf die Strecke: Das nächste Kart, das darüberfährt, fliegt in die Luft.",
      "Drop it on the track: the next kart that drives over it is blown into the air.",
      "Posez-la sur la piste : le prochain kart qui roule dessus saute en l'air.",
      "Déjala en la pista: el siguiente kart que pase por encima saldrá volando.",
      "Lasciala in pista: il prossimo kart che ci passa sopra vola in aria."}},
    {5090, false, kOn, {"Rakete", "Rocket", "Fusée", "Cohete", "Razzo"}},
    {5091,
     false,
     kOn,
     {"Folgt der Strecke und trifft das Kart vor dir, auch durch ein Schutzschild.",
      "Follows the track and hits the kart ahead of you, even through a shield.",
      "Suit la piste et touche le kart devant vous, même à travers un bouclier.",
      "Sigue la pista y alcanza al kart que va delante, incluso con escudo.",
      "Segue la pista e colpisce il kart davanti a te, anche attraverso uno scudo."}},
    {6000, false, kOn, {"Seifenblasen", "Soap bubbles", "Bulles de savon", "Pompas de jabón", "Bolle di sapone"}},
    {6001,
     false,
     kOn,
     {"Drei Seifenblasen schweben los und schließen die Karts ein, die sie erwischen.",
      "Blows three soap bubbles that trap the karts they catch.",
      "Souffle trois bulles de savon qui emprisonnent les karts qu'elles attrapent.",
      "Lanza tres pompas de jabón que atrapan a los karts que alcanzan.",
      "Soffia tre bolle di sapone che intrappolano i kart che raggiungono."}},
    {6020, false, kOn, {"Schrumpfer", "Shrinker", "Rétrécisseur", "Encogedor", "Restringitore"}},
    {6021,
     false,
     kOn,
     {"Schießt einen Strahl, der das getroffene Kart schrumpfen lässt. Kleine Karts sind langsam und können "
      "überfahren werden.",
      "Shoots a ray that shrinks the kart it hits. Small karts are slow and can be run over.",
      "Tire un rayon qui rétrécit le kart touché. Les petits karts sont lents et se font écraser.",
      "Dispara un rayo que encoge al kart alcanzado. Los karts pequeños son lentos y pueden ser aplastados.",
      "Spara un raggio che rimpicciolisce il kart colpito. I kart piccoli sono lenti e possono essere "
      "schiacciati."}},
    // The network lobby's connection messages.
    {9000,
     false,
     kOn,
     {"Die Verbindung zum Spiel ist abgerissen.", "The connection to the game was lost.",
      "La connexion à la partie a été perdue.", "Se ha perdido la conexión con la partida.",
      "La connessione alla partita si è interrotta."}},
    {9001,
     false,
     kOn,
     {"Ein anderer Spieler hat das Spiel verlassen.", "Another player has left the game.",
      "Un autre joueur a quitté la partie.", "Otro jugador ha abandonado la partida.",
      "Un altro giocatore ha lasciato la partita."}},
    {9004,
     false,
     kOn,
     {"Der Gastgeber hat das Spiel beendet.", "The host has closed the game.", "L'hôte a fermé la partie.",
      "El anfitrión ha cerrado la partida.", "L'host ha chiuso la partita."}},
    {10000,
     false,
     kOn,
     {"Möchtest du Tessaline wirklich beenden?", "Do you really want to quit Tessaline?",
      "Voulez-vous vraiment quitter Tessaline ?", "¿Seguro que quieres salir de Tessaline?",
      "Vuoi davvero uscire da Tessaline?"}},
};

using B = TextBox;

const SampleText kRace[] = {
    CHARACTER_NAMES,
    KART_AND_CLASS_NAMES,
    // Display labels; 1000 also heads the lap-time display and, with the lap
    // number after it, the time-trial result rows.
    {1000, false, B::kHudLabel, {"Runde", "Lap", "Tour", "Vuelta", "Giro"}},
    {1001, false, B::kHudLabel, {"Platz", "Place", "Place", "Puesto", "Posto"}},
    {1002, false, B::kColumnTime, {"Zeit", "Time", "Temps", "Tiempo", "Tempo"}},
    {1003, false, B::kHudTimeLabel, {"Bestzeit", "Best lap", "Meill. tour", "Mejor vuelta", "Miglior giro"}},
    // Result dialogs.
    {1004, false, B::kLapRow, {"Gesamt", "Total", "Total", "Total", "Totale"}},
    {1007, false, B::kColumnNumber, {"Punkte", "Points", "Points", "Puntos", "Punti"}},
    {1008, false, B::kColumnNumber, {"Platz", "Place", "Place", "Puesto", "Posto"}},
    {1009, false, B::kColumnName, {"Fahrer", "Driver", "Pilote", "Piloto", "Pilota"}},
    {1010, false, B::kTitle, {"Rundenzeiten", "Lap times", "Temps au tour", "Tiempos por vuelta", "Tempi sul giro"}},
    {1020,
     false,
     B::kWideTitle,
     {"Zwischenstand Zeitreise-Cup", "Time Travel Cup standings", "Coupe des Époques : classement",
      "Copa del Tiempo: clasificación", "Coppa del Tempo: classifica"}},
    {1021,
     false,
     B::kWideTitle,
     {"Endstand Zeitreise-Cup", "Time Travel Cup final result", "Coupe des Époques : résultat final",
      "Copa del Tiempo: resultado final", "Coppa del Tempo: risultato finale"}},
    {1030,
     false,
     B::kWideTitle,
     {"Zwischenstand Abenteuer-Cup", "Adventure Cup standings", "Coupe Aventure : classement",
      "Copa Aventura: clasificación", "Coppa Avventura: classifica"}},
    {1031,
     false,
     B::kWideTitle,
     {"Endstand Abenteuer-Cup", "Adventure Cup final result", "Coupe Aventure : résultat final",
      "Copa Aventura: resultado final", "Coppa Avventura: risultato finale"}},
    {1040,
     false,
     B::kWideTitle,
     {"Rennergebnis", "Race result", "Résultat de la course", "Resultado de la carrera", "Risultato della gara"}},
    {2000, true, B::kOkButton, {"OK", "OK", "OK", "OK", "OK"}},
    {2002, false, B::kWideButton, {"Weiter", "Continue", "Continuer", "Continuar", "Continua"}},
    {2010, false, B::kPaused, {"Pause", "Paused", "Pause", "Pausa", "Pausa"}},
    TRACK_NAMES,
    // Highscore name entry.
    {4000,
     false,
     B::kTitle,
     {"Neuer Rekord!", "New highscore!", "Nouveau record !", "¡Nuevo récord!", "Nuovo record!"}},
    {4001,
     false,
     B::kPrompt,
     {"Gib deinen Namen ein:", "Enter your name:", "Entrez votre nom :", "Escribe tu nombre:",
      "Inserisci il tuo nome:"}},
#define PLACE(n)                                                                                                \
  {                                                                                                             \
    4009 + n, false, B::kPlaceMessage, {                                                                        \
      "Du stehst auf Platz " #n " der Bestenliste!", "You are number " #n " in the highscore list!",            \
          "Vous êtes à la place " #n " du tableau des records !", "¡Estás en el puesto " #n " de los récords!", \
          "Sei al posto " #n " della classifica dei record!"                                                    \
    }                                                                                                           \
  }
    PLACE(1),
    PLACE(2),
    PLACE(3),
    PLACE(4),
    PLACE(5),
    PLACE(6),
    PLACE(7),
    PLACE(8),
    PLACE(9),
    PLACE(10),
#undef PLACE
#define FINISH(n)                                                                                        \
  {                                                                                                      \
    4019 + n, false, B::kDialogText, {                                                                   \
      "Du hast das Rennen auf Platz " #n " beendet.", "You finished the race in place " #n ".",          \
          "Vous terminez la course à la place " #n ".", "Has terminado la carrera en el puesto " #n ".", \
          "Hai finito la gara al posto " #n "."                                                          \
    }                                                                                                    \
  }
    FINISH(1),
    FINISH(2),
    FINISH(3),
    FINISH(4),
    FINISH(5),
    FINISH(6),
#undef FINISH
    // A player out in last man standing: the message with the name, and the
    // result column.
    {4030,
     false,
     B::kMessage,
     {"[NICKNAME] ist ausgeschieden!", "[NICKNAME] is out!", "[NICKNAME] est éliminé !", "¡[NICKNAME] queda eliminado!",
      "[NICKNAME] è eliminato!"}},
    {4032, false, B::kSmallCell, {"Ausgeschieden", "Out", "Éliminé", "Eliminado", "Eliminato"}},
    // Pause dialog, start and network messages.
    {9000, false, B::kPauseButton, {"Weiterfahren", "Resume", "Reprendre", "Continuar", "Riprendi"}},
    {9008,
     false,
     B::kMessage,
     {"Warte auf die anderen Spieler...", "Waiting for the other players...", "En attente des autres joueurs...",
      "Esperando a los demás jugadores...", "In attesa degli altri giocatori..."}},
    {9010,
     false,
     B::kPauseButton,
     {"Rennen beenden", "End race", "Terminer la course", "Terminar carrera", "Termina la gara"}},
    {9020,
     false,
     B::kPauseButton,
     {"Zum Hauptmenü", "Quit to menu", "Retour au menu", "Volver al menú", "Torna al menu"}},
    {9050,
     false,
     B::kMessage,
     {"Drücke die Leertaste, wenn du bereit bist.", "Press Space when you are ready.",
      "Appuyez sur Espace quand vous êtes prêt.", "Pulsa Espacio cuando estés listo.",
      "Premi Spazio quando sei pronto."}},
    {9100,
     false,
     B::kDialogText,
     {"Die Verbindung zu den anderen Spielern ist abgerissen. Das Rennen ist zu Ende.",
      "The connection to the other players was lost. The race is over.",
      "La connexion avec les autres joueurs a été perdue. La course est terminée.",
      "Se ha perdido la conexión con los demás jugadores. La carrera ha terminado.",
      "La connessione con gli altri giocatori si è interrotta. La gara è finita."}},
    {9110,
     false,
     B::kDialogText,
     {"Ein Spieler hat das Rennen verlassen. Das Rennen ist zu Ende.", "A player has left the race. The race is over.",
      "Un joueur a quitté la course. La course est terminée.",
      "Un jugador ha abandonado la carrera. La carrera ha terminado.",
      "Un giocatore ha lasciato la gara. La gara è finita."}},
    {9140,
     false,
     B::kDialogText,
     {"Der Gastgeber hat das Rennen verlassen. Das Rennen ist zu Ende.",
      "The host has left the race. The race is over.", "L'hôte a quitté la course. La course est terminée.",
      "El anfitrión ha abandonado la carrera. La carrera ha terminado.",
      "L'host ha lasciato la gara. La gara è finita."}},
};

#undef CHARACTER_NAMES
#undef TRACK_NAMES
#undef KART_AND_CLASS_NAMES

void escape(std::string& out, const char* text) {
  for (const char* c = text; *c; ++c) {
    switch (*c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += *c;
    }
  }
}

}  // namespace

TextBoxSize textBoxSize(TextBox box) {
  switch (box) {
    case TextBox::kOnScreen:
      break;
    case TextBox::kHudLabel:
      return {"VerdanaLargeItalic", 110, 30, false};
    case TextBox::kHudTimeLabel:
      return {"VerdanaLargeItalic", 160, 30, false};
    case TextBox::kMessage:
      return {"VerdanaSmall", 400, 100, true};
    case TextBox::kPaused:
      return {"VerdanaLarge", 280, 140, false};
    case TextBox::kDialogText:
      return {"VerdanaMedium", 440, 215, true};
    case TextBox::kOkButton:
      return {"VerdanaMedium", 140, 60, false};
    case TextBox::kWideButton:
      return {"VerdanaLarge", 200, 60, false};
    case TextBox::kPauseButton:
      return {"VerdanaMedium", 320, 60, false};
    case TextBox::kTitle:
      return {"VerdanaLarge", 330, 40, false};
    case TextBox::kWideTitle:
      return {"VerdanaLarge", 640, 40, false};
    case TextBox::kColumnNumber:
      return {"VerdanaLargeItalic", 100, 30, false};
    case TextBox::kColumnName:
      return {"VerdanaLargeItalic", 240, 30, false};
    case TextBox::kColumnTime:
      return {"VerdanaLargeItalic", 130, 30, false};
    case TextBox::kLapRow:
      return {"VerdanaLargeItalic", 200, 30, false};
    case TextBox::kSmallCell:
      return {"VerdanaSmall", 130, 30, false};
    case TextBox::kPrompt:
      return {"VerdanaMedium", 440, 30, false};
    case TextBox::kPlaceMessage:
      return {"VerdanaMedium", 440, 90, true};
  }
  return {"VerdanaSmall", 0, 0, false};
}

std::span<const SampleText> menuTexts() { return kMenu; }
std::span<const SampleText> raceTexts() { return kRace; }

const SampleText* findSampleText(std::span<const SampleText> table, int id) {
  const auto it = std::find_if(table.begin(), table.end(), [id](const SampleText& t) { return t.id == id; });
  return it == table.end() ? nullptr : &*it;
}

std::string textTableXml(std::span<const SampleText> table) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<Texts>\n";
  for (const SampleText& text : table) {
    s += "  <Take id=\"" + std::to_string(text.id) + "\">";
    for (int language = 0; language < 5; ++language) {
      s += std::string("<") + kSampleLanguageCodes[language] + ">";
      escape(s, text.words[static_cast<std::size_t>(language)]);
      s += std::string("</") + kSampleLanguageCodes[language] + ">";
    }
    s += "</Take>\n";
  }
  return s + "</Texts>\n";
}
