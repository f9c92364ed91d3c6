-- A small installation that matches ktx-sim's demo model: the demo opens it in place of an
-- installation database of the configuration application.
CREATE TABLE config (
  Id INTEGER PRIMARY KEY,
  IPAddress VARCHAR(50),
  webport INTEGER,
  ethuser VARCHAR(40),
  rxctlversie VARCHAR(6),
  rxethversie VARCHAR(4),
  ctltype VARCHAR(2),
  CTLSerial VARCHAR(6)
);
INSERT INTO config VALUES (1, '127.0.0.1', 8446, 'ORVA', NULL, NULL, NULL, '123456');

CREATE TABLE modules (
  Id INTEGER PRIMARY KEY,
  serienr VARCHAR(6),
  Type VARCHAR(50),
  plaats VARCHAR(50)
);
INSERT INTO modules VALUES
  (1, '160012', '0016', 'Living room'),
  (2, '0A1234', '0001', 'Roof'),
  (3, '175310', '0017', 'Meter cupboard'),
  (4, 'C40101', 'MD-1 motion detector indoor', 'Hall'),
  (5, 'B1C2D3', '0005', 'Kitchen');

CREATE TABLE outputs (
  Id INTEGER PRIMARY KEY,
  Naam VARCHAR(50),
  ModeId INTEGER,
  Adres INTEGER,
  SubAdres INTEGER
);
INSERT INTO outputs VALUES
  (1, 'Living room', 82, 12, 0),
  (2, 'Hall', 151, 20, 0),
  (3, 'Water', 280, 30, 0),
  (4, 'Solar', 280, 30, 1),
  (5, 'Garden light', 10, 5, 0);
