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
-- A fresh installation talks TCP/IP first and may fall back to the first four serial ports;
-- an empty language letter becomes Dutch at the first start.
INSERT INTO orva (id, laatstetaal, progstatus, webport, WW, answflag, askflag, SerOfEth, idbuser,
                  IdbWW, idbinstallercode, LstSort, begcom, endcom)
  VALUES (1, '', '0', 0, NULL, NULL, NULL, 'SE ', NULL, NULL, NULL, NULL, 1, 4);
