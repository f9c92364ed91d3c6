-- Reference database: output mode names, message texts in nine languages, locations.
CREATE TABLE mode (
  id INTEGER PRIMARY KEY,
  Naam VARCHAR(50)
);
INSERT INTO mode (id, Naam) VALUES
  (10, 'Switch'),
  (20, 'Dimmer'),
  (30, 'Shutter'),
  (41, 'Socket'),
  (50, 'Heating valve'),
  (60, 'Thermostat'),
  (70, 'Floor heating'),
  (81, 'Cooling'),
  (82, 'Heat pump'),
  (91, 'Zone heating'),
  (92, 'Zone cooling'),
  (140, 'Ventilation'),
  (151, 'Analog output'),
  (221, 'Boiler'),
  (222, 'Radiator'),
  (280, 'Pulse counter');

CREATE TABLE talen (
  id SMALLINT PRIMARY KEY,
  txtned VARCHAR(255),
  txtfra VARCHAR(255),
  txtdui VARCHAR(255),
  txtEng VARCHAR(255),
  txtbra VARCHAR(255),
  txtpor VARCHAR(255),
  txtspa VARCHAR(255),
  txtita VARCHAR(255),
  txtpol VARCHAR(255)
);
INSERT INTO talen (id, txtned, txtfra, txtdui, txtEng, txtbra, txtpor, txtspa, txtita, txtpol) VALUES
  (6, 'Geen', 'Pas de', 'Keine', 'No', 'Sem', 'Sem', 'Sin', 'Nessuna', 'Brak'),
  (42, 'CTL weigert de aanmelding', 'Le CTL refuse la connexion', 'CTL verweigert die Anmeldung',
      'CTL refuses the login', 'O CTL recusa o login', 'O CTL recusa o início de sessão',
      'El CTL rechaza el inicio de sesión', 'Il CTL rifiuta l''accesso', 'CTL odrzuca logowanie'),
  (302, 'van', 'de', 'von', 'from', 'de', 'de', 'de', 'da', 'od'),
  (303, 'tot', 'à', 'bis', 'to', 'até', 'até', 'a', 'a', 'do'),
  (386, 'Geen CTL gevonden op de seriële poorten', 'Aucun CTL trouvé sur les ports série',
      'Kein CTL an den seriellen Schnittstellen gefunden', 'No CTL found on the serial ports',
      'Nenhum CTL encontrado nas portas seriais', 'Nenhum CTL encontrado nas portas série',
      'No se encontró ningún CTL en los puertos serie',
      'Nessun CTL trovato sulle porte seriali', 'Nie znaleziono CTL na portach szeregowych'),
  (387, 'Controleer de kabel en de voeding van de CTL', 'Vérifiez le câble et l''alimentation du CTL',
      'Prüfen Sie Kabel und Stromversorgung des CTL', 'Check the cable and the power of the CTL',
      'Verifique o cabo e a alimentação do CTL', 'Verifique o cabo e a alimentação do CTL',
      'Compruebe el cable y la alimentación del CTL', 'Controllare il cavo e l''alimentazione del CTL',
      'Sprawdź kabel i zasilanie CTL'),
  (707, 'verbinding met de CTL', 'connexion avec le CTL', 'Verbindung zum CTL', 'connection to the CTL',
      'conexão com o CTL', 'ligação ao CTL', 'conexión con el CTL', 'connessione al CTL',
      'połączenia z CTL'),
  (749, 'Geen antwoord van de CTL', 'Pas de réponse du CTL', 'Keine Antwort vom CTL',
      'No answer from the CTL', 'Sem resposta do CTL', 'Sem resposta do CTL', 'Sin respuesta del CTL',
      'Nessuna risposta dal CTL', 'Brak odpowiedzi od CTL'),
  (860, 'Communicatie', 'Communication', 'Kommunikation', 'Communication', 'Comunicação',
      'Comunicação', 'Comunicación', 'Comunicazione', 'Komunikacja');

CREATE TABLE locaties (
  id INTEGER PRIMARY KEY,
  Naam VARCHAR(50)
);
INSERT INTO locaties (id, Naam) VALUES (1, 'Home');
