-- Settings database: one settings record, completed with defaults at every start.
CREATE TABLE orva (
  id INTEGER PRIMARY KEY,
  laatstetaal VARCHAR(2),
  progstatus VARCHAR(1),
  webport INTEGER,
  WW VARCHAR(34),
  answflag VARCHAR(20),
  askflag VARCHAR(20),
  SerOfEth VARCHAR(3),
  idbuser VARCHAR(50),
  IdbWW VARCHAR(50),
  idbinstallercode VARCHAR(50),
  LstSort VARCHAR(10),
  begcom INTEGER,
  endcom INTEGER
);
-- A fresh installation talks TCP/IP only: a serial port may hold anything (a UPS, a modem, a
-- meter), so none is written to until the user names them (orva-influx --serial-ports).
-- An empty language letter is settled at the first start.
INSERT INTO orva (id, laatstetaal, progstatus, webport, WW, answflag, askflag, SerOfEth, idbuser,
                  IdbWW, idbinstallercode, LstSort, begcom, endcom)
  VALUES (1, '', '0', 0, NULL, NULL, NULL, ' E ', NULL, NULL, NULL, NULL, NULL, NULL);
