-- House records for the embedded database.
-- ID finds a posted row again; RowVer tells whether someone changed it since
-- it was read. The two attachment columns stay last, so reading the other
-- columns never walks through their pages.
CREATE TABLE 基本データ (
    ID INTEGER PRIMARY KEY,
    No INTEGER,
    所有者コード TEXT,
    所有者氏名 TEXT COLLATE NOCASE,
    所有者住所 TEXT,
    所在区 TEXT COLLATE NOCASE,
    所在地番 TEXT,
    日付 DATETIME,
    備考 TEXT COLLATE NOCASE,
    １Ｆ REAL,
    ２Ｆ REAL,
    床面積 REAL,
    評点数 REAL,
    新増改築 TEXT,
    除外 TEXT,
    新築軽減 TEXT,
    建年 TEXT,
    種類 TEXT,
    構造 TEXT,
    家屋番号 TEXT,
    登記１Ｆ REAL,
    登記２Ｆ REAL,
    登記面積 REAL,
    持分１ TEXT,
    持分２ TEXT,
    持分３ TEXT,
    登記種類 TEXT,
    有効開始 DATETIME,
    登記日 DATETIME,
    RowVer INTEGER NOT NULL DEFAULT 0,
    excel BLOB,
    zumen BLOB
);

-- LIKE 'prefix%' uses these because the columns compare without case.
CREATE INDEX 基本データ_所有者氏名 ON 基本データ (所有者氏名);
CREATE INDEX 基本データ_所在区 ON 基本データ (所在区);
CREATE INDEX 基本データ_日付 ON 基本データ (日付);
CREATE INDEX 基本データ_備考 ON 基本データ (備考);

-- Other programs writing the file bump the version too.
CREATE TRIGGER 基本データ_RowVer AFTER UPDATE ON 基本データ
WHEN NEW.RowVer = OLD.RowVer
BEGIN
    UPDATE 基本データ SET RowVer = OLD.RowVer + 1 WHERE ID = NEW.ID;
END;

CREATE TABLE 行政区 (
    所在区 TEXT NOT NULL PRIMARY KEY
);
