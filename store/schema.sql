-- The event table of user.mdb. The program adds, changes and deletes rows only.
CREATE TABLE eventtable (
    id              INTEGER PRIMARY KEY AUTOINCREMENT,
    subject         TEXT,
    content         TEXT,
    mynote          TEXT,
    layername       TEXT,
    begindate       REAL,
    beginTime       REAL,
    enddate         REAL,
    endtime         REAL,
    lastFileTime    REAL,
    alert           INTEGER,
    repeatType      INTEGER,
    dayType         INTEGER,
    dayEvery0       INTEGER,
    weekType        INTEGER,
    weekEvery0      INTEGER,
    weekSelected0   TEXT,
    monthType       INTEGER,
    monthDay0       INTEGER,
    monthEvery0     INTEGER,
    monthspecial1   INTEGER,
    monthDayorWeek1 INTEGER,
    monthEvery1     INTEGER,
    yearType        INTEGER,
    yearDay0        INTEGER,
    yearMonth0      INTEGER,
    yearspecial1    INTEGER,
    yearDayorWeek1  INTEGER,
    yearMonth1      INTEGER
);

-- Searches list events in the order of their begin date and time.
CREATE INDEX IF NOT EXISTS eventtable_begin ON eventtable (begindate, begintime);
