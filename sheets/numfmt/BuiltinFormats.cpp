#include "sheets/numfmt/NumberFormat.h"

#include <QList>

namespace tegaro::sheets {

QString builtInFormat(int index)
{
    // Codes of the built-in numbers 0-58 in a Japanese locale.
    static const char16_t* const codes[] = {
        u"General",
        u"0",
        u"0.00",
        u"#,##0",
        u"#,##0.00",
        u"\"¥\"#,##0;\"¥\"\\-#,##0",
        u"\"¥\"#,##0;[Red]\"¥\"\\-#,##0",
        u"\"¥\"#,##0.00;\"¥\"\\-#,##0.00",
        u"\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00",
        u"0%",
        u"0.00%",
        u"0.00E+00",
        u"# ?/?",
        u"# ?"
        u"?/??",
        u"yyyy/m/d",
        u"d-mmm-yy",
        u"d-mmm",
        u"mmm-yy",
        u"h:mm AM/PM",
        u"h:mm:ss AM/PM",
        u"h:mm",
        u"h:mm:ss",
        u"yyyy/m/d h:mm",
        u"General",
        u"General",
        u"General",
        u"General", // 23-26 unused
        u"[$-411]ge.m.d",
        u"[$-411]ggge\"年\"m\"月\"d\"日\"",
        u"[$-411]ggge\"年\"m\"月\"d\"日\"",
        u"m/d/yy",
        u"yyyy\"年\"m\"月\"d\"日\"",
        u"h\"時\"mm\"分\"",
        u"h\"時\"mm\"分\"ss\"秒\"",
        u"yyyy\"年\"m\"月\"",
        u"m\"月\"d\"日\"",
        u"[$-411]ge.m.d",
        u"#,##0 ;(#,##0)",
        u"#,##0 ;[Red](#,##0)",
        u"#,##0.00 ;(#,##0.00)",
        u"#,##0.00 ;[Red](#,##0.00)",
        u"_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ",
        u"_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ ",
        u"_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ",
        u"_ \"¥\"* #,##0.00_ ;_ \"¥\"* \\-#,##0.00_ ;_ \"¥\"* \"-\"??_ ;_ @_ ",
        u"mm:ss",
        u"[h]:mm:ss",
        u"mm:ss.0",
        u"##0.0E+0",
        u"@",
        u"[$-411]ge.m.d",
        u"[$-411]ggge\"年\"m\"月\"d\"日\"",
        u"yyyy\"年\"m\"月\"",
        u"m\"月\"d\"日\"",
        u"[$-411]ggge\"年\"m\"月\"d\"日\"",
        u"yyyy\"年\"m\"月\"",
        u"m\"月\"d\"日\"",
        u"[$-411]ge.m.d",
        u"[$-411]ggge\"年\"m\"月\"d\"日\"",
    };
    constexpr int count = int(sizeof(codes) / sizeof(codes[0]));
    static_assert(count == 59);
    // made once: every cell text asks for its code
    static const QList<QString> made = [] {
        QList<QString> list;
        for (const char16_t* code : codes)
            list << QString::fromUtf16(code);
        return list;
    }();
    if (index >= 0 && index < count)
        return made[index];
    return made[0];
}

} // namespace tegaro::sheets
