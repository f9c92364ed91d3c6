-- Communication log: one row per frame sent and per answer buffer received.
-- Data is a BLOB so that 0x00 and every other byte survive unchanged, at any length.
CREATE TABLE CommLog (
  id INTEGER PRIMARY KEY,
  TimeStamp TEXT NOT NULL,
  Soort VARCHAR(3) NOT NULL,
  Data BLOB NOT NULL
);
