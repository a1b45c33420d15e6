#include "DemoData.h"

#include "DemoDrawing.h"
#include "DemoSheet.h"
#include "db/Connection.h"
#include "db/RecordSet.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QStringList>

namespace tegaro::demo {

namespace {
const QStringList kDistricts{"中央区", "北区", "南区", "東区", "西区", "本町", "新町", "山手", "川辺", "緑ヶ丘"};
const QStringList kSurnames{"佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤",
                            "吉田", "山田", "佐々木", "山口", "松本", "井上", "木村", "林", "斎藤", "清水"};
const QStringList kGiven{"太郎", "花子", "一郎", "和子", "健二", "恵子", "正雄", "幸子", "博", "美智子",
                         "茂", "洋子", "誠", "久美子", "勇", "節子"};
const QStringList kTowns{"栄町", "若葉台", "桜木町", "旭町", "松原", "柳町", "青葉", "富士見"};
const QStringList kKinds{"専住", "共住", "事務所", "店舗"};
const QStringList kRegisteredKinds{"居宅", "共同住宅", "事務所", "店舗"};
const QStringList kShares{"1/2", "1/3", "1/4", "1/5", "2/3", "3/4", "2/5", "3/5", "4/5"};
const QStringList kStructures{"木ス２", "木瓦２", "木セ２", "木ス平", "木瓦平", "木セ平", "木ﾌﾟﾚｽ２", "木ﾌﾟﾚ瓦２",
                              "木ﾌﾟﾚセ２", "木ﾌﾟﾚ亜２", "木ﾌﾟﾚｽ平", "木ﾌﾟﾚ瓦平", "木ﾌﾟﾚセ平", "木ﾌﾟﾚ亜平", "LGﾌﾟﾚｽ２",
                              "LGﾌﾟﾚ瓦２", "LGﾌﾟﾚセ２", "LGﾌﾟﾚ亜２", "LGﾌﾟﾚｽ平", "LGﾌﾟﾚ瓦平", "LGﾌﾟﾚセ平", "LGﾌﾟﾚ亜平",
                              "RCﾌﾟﾚ陸２", "RCﾌﾟﾚ亜２", "RCﾌﾟﾚ陸平", "RCﾌﾟﾚ亜平"};
const QStringList kMemos{"", "", "", "増築予定あり", "車庫は別棟", "所有者不在、家族立会い", "屋根改修済み", "再調査要"};

const QString& pick(QRandomGenerator& r, const QStringList& list) { return list[r.bounded(int(list.size()))]; }
double area(QRandomGenerator& r, int low, int high) { return (low * 100 + r.bounded((high - low) * 100)) / 100.0; }

// A date at the time of day the form's date picker keeps for that column.
QDateTime surveyDate(QRandomGenerator& r, int fromYear, int years, QTime time)
{
    return QDateTime(QDate(fromYear, 1, 1).addDays(r.bounded(365 * years)), time);
}

} // namespace

DemoCounts fillDemo(Connection& connection, int houses)
{
    DemoCounts counts;
    QRandomGenerator random(20021013); // the same demo on every machine
    QSqlDatabase db = connection.database();
    db.transaction();
    for (const QString& d : kDistricts)
        connection.exec(QStringLiteral("INSERT INTO 行政区 (所在区) VALUES (?)"), {d});
    counts.districts = int(kDistricts.size());

    RecordSet rs(&connection);
    rs.addSql(QStringLiteral("select * from 基本データ"));
    rs.open();
    for (int i = 0; i < houses; ++i) {
        QString owner = pick(random, kSurnames) + u'　' + pick(random, kGiven);
        double f1 = area(random, 45, 95);
        bool twoStorey = random.bounded(100) < 70;
        double f2 = twoStorey ? area(random, 25, int(f1)) : 0.0;
        double score = 60000 + random.bounded(50) * 1000;
        auto set = [&](const char* column, const QVariant& v) { rs.fieldByName(QString::fromUtf8(column)).setValue(v); };

        rs.append();
        set("No", 1001 + i);
        set("所有者コード", QStringLiteral("%1").arg(200000 + random.bounded(800000), 8, 10, QChar(u'0')));
        set("所有者氏名", owner);
        set("所有者住所", QStringLiteral("%1%2丁目%3-%4").arg(pick(random, kTowns)).arg(1 + random.bounded(5)).arg(1 + random.bounded(30)).arg(1 + random.bounded(20)));
        set("所在区", pick(random, kDistricts));
        set("所在地番", QStringLiteral("%1番地%2").arg(100 + random.bounded(900)).arg(1 + random.bounded(9)));
        set("日付", surveyDate(random, 2002, 5, QTime(16, 1)));
        set("備考", pick(random, kMemos));
        set("１Ｆ", f1);
        set("２Ｆ", f2);
        set("床面積", f1 + f2);
        set("評点数", score);
        set("新増改築", random.bounded(100) < 80 ? QStringLiteral("新") : pick(random, {"増", "改"}));
        set("除外", random.bounded(100) < 95 ? QStringLiteral("0") : QStringLiteral("1"));
        set("新築軽減", random.bounded(100) < 60 ? QStringLiteral("1") : QString());
        set("建年", QString::number(11 + random.bounded(10)));
        set("種類", random.bounded(100) < 75 ? kKinds[0] : pick(random, kKinds));
        set("構造", twoStorey ? pick(random, kStructures.filter(QStringLiteral("２"))) : pick(random, kStructures.filter(QStringLiteral("平"))));
        set("家屋番号", QStringLiteral("%1番%2").arg(1 + random.bounded(999)).arg(1 + random.bounded(9)));
        set("登記１Ｆ", f1);
        set("登記２Ｆ", f2);
        set("登記面積", f1 + f2);
        if (random.bounded(100) < 20) {
            set("持分１", kShares[0]);
            set("持分２", kShares[0]);
        }
        set("登記種類", random.bounded(100) < 80 ? kRegisteredKinds[0] : pick(random, kRegisteredKinds));
        set("有効開始", surveyDate(random, 2003, 3, QTime(16, 8, 6)));
        set("登記日", surveyDate(random, 2002, 4, QTime(16, 9, 13)));
        if (random.bounded(100) < 40) {
            set("zumen", makeDrawing(random, {f1, f2}));
            ++counts.drawings;
        }
        if (random.bounded(100) < 25) {
            const QString address = rs.fieldByName(QStringLiteral("所有者住所")).asString();
            const DemoSheet sheet = makeDemoSheet({owner, address, f1, f2, score,
                                                   rs.fieldByName(QStringLiteral("日付")).asDateTime().date(),
                                                   random.bounded(100) < 30},
                                                  random);
            set("excel", sheet.bytes);
            set("評点数", sheet.score); // what the sheet comes to
            ++counts.sheets;
        }
        rs.post();
        ++counts.houses;
    }
    db.commit();
    return counts;
}

} // namespace tegaro::demo
