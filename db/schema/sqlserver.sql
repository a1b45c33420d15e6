-- The tables of the house records on SQL Server, made in the current
-- database ("tegaro-db schema sqlserver" prints it with the lines that make
-- and choose the database; GO ends a batch). Every name is in brackets:
-- some start with a full-width digit (１Ｆ), and all are Japanese.
-- ID finds a posted row again; RowVer changes with every update, so a post
-- never overwrites a row someone else changed since it was read.
CREATE TABLE [基本データ] (
    ID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    [No] int NULL,
    [所有者コード] nvarchar(20) NULL,
    [所有者氏名] nvarchar(100) NULL,
    [所有者住所] nvarchar(200) NULL,
    [所在区] nvarchar(50) NULL,
    [所在地番] nvarchar(100) NULL,
    [日付] datetime NULL,
    [備考] nvarchar(800) NULL,
    [１Ｆ] decimal(9,2) NULL,
    [２Ｆ] decimal(9,2) NULL,
    [床面積] decimal(9,2) NULL,
    [評点数] decimal(12,2) NULL,
    [新増改築] nvarchar(10) NULL,
    [除外] nvarchar(10) NULL,
    [新築軽減] nvarchar(50) NULL,
    [建年] nvarchar(10) NULL,
    [種類] nvarchar(20) NULL,
    [構造] nvarchar(20) NULL,
    [家屋番号] nvarchar(50) NULL,
    [登記１Ｆ] decimal(9,2) NULL,
    [登記２Ｆ] decimal(9,2) NULL,
    [登記面積] decimal(9,2) NULL,
    [持分１] nvarchar(10) NULL,
    [持分２] nvarchar(10) NULL,
    [持分３] nvarchar(10) NULL,
    [登記種類] nvarchar(20) NULL,
    [有効開始] datetime NULL,
    [登記日] datetime NULL,
    RowVer rowversion NOT NULL,
    excel varbinary(max) NULL,
    zumen varbinary(max) NULL
);
GO
CREATE INDEX [基本データ_所有者氏名] ON [基本データ] ([所有者氏名]);
CREATE INDEX [基本データ_所在区] ON [基本データ] ([所在区]);
CREATE INDEX [基本データ_日付] ON [基本データ] ([日付]);
CREATE INDEX [基本データ_備考] ON [基本データ] ([備考]);
GO
CREATE TABLE [行政区] (
    [所在区] nvarchar(50) NOT NULL PRIMARY KEY
);
GO
