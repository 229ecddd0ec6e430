#include "ToolTable.h"

#include <QHash>

namespace tools {

const QList<ToolDef>& allTools()
{
    static const QList<ToolDef> t = {
        // menu-bar heads and the one direct tool
        {1, QStringLiteral("mn_xtsz"), QStringLiteral("系统设置")},
        {4, QString(), QStringLiteral("卡操作")},
        {3, QStringLiteral("mn_sjcj"), QStringLiteral("采集及监视")},
        {5, QStringLiteral("mn_sjcx"), QStringLiteral("数据查询")},
        {6, QStringLiteral("mn_tscl"), QStringLiteral("强制开锁")},
        {13, QStringLiteral("mn_bz"), QStringLiteral("帮助")},
        // Pop1
        {10, QStringLiteral("xtczysz"), QStringLiteral("权限设置")},
        {16, QStringLiteral("xtcsh"), QStringLiteral("数据库初始化")},
        {9, QString(), QStringLiteral("串口版本设置")},
        {15, QStringLiteral("bmsz"), QStringLiteral("部门职务管理")},
        {18, QString(), QStringLiteral("人事管理")},
        {19, QStringLiteral("fkjsz"), QStringLiteral("发卡机设置"), false},
        {8, QString(), QStringLiteral("门锁设置")},
        {26, QString(), QStringLiteral("修改卡机日期时间")},
        {23, QString(), QStringLiteral("数据采集设置")},
        {29, QString(), QStringLiteral("上下班时间设置")},
        {35, QString(), QStringLiteral("数据库备份与恢复")},
        {36, QString(), QStringLiteral("过期数据处理")},
        {14, QStringLiteral("tc"), QStringLiteral("退出")},
        // pop2
        {11, QStringLiteral("help"), QStringLiteral("帮助")},
        {12, QStringLiteral("gy"), QStringLiteral("关于")},
        // pop3
        {17, QString(), QStringLiteral("发卡退卡")},
        {25, QString(), QStringLiteral("卡机重整")},
        {31, QString(), QStringLiteral("压缩卡机")},
        {32, QString(), QStringLiteral("增扩卡机")},
        // Pop4
        {20, QString(), QStringLiteral("打卡数据采集")},
        {38, QString(), QStringLiteral("发卡名单采集")},
        {37, QString(), QStringLiteral("考勤数据整理")},
        {21, QString(), QStringLiteral("实时监控门锁状态")},
        {34, QString(), QStringLiteral("实时监控打卡状况")},
        {24, QString(), QStringLiteral("自动采集"), false},
        // Pop5
        {22, QString(), QStringLiteral("发卡信息查询")},
        {33, QString(), QStringLiteral("退卡信息查询")},
        {27, QString(), QStringLiteral("打卡数据查询")},
        {28, QString(), QStringLiteral("考勤数据查询")},
        {30, QString(), QStringLiteral("个人月总查询")},
        // in the collection only
        {39, QString(), QStringLiteral("退出")},
    };
    return t;
}

const ToolDef* findTool(int number)
{
    for (const ToolDef& d : allTools())
        if (d.number == number)
            return &d;
    return nullptr;
}

const QList<BandDef>& bands()
{
    static const QList<BandDef> b = {
        {QStringLiteral("Mnu"), QStringLiteral("菜单"), 0, {1, 4, 3, 5, 6, 13}},
        {QStringLiteral("Pop1"), QStringLiteral("系统设置"), 1,
         {10, 16, 9, 15, 18, 19, 8, 26, 23, 29, 35, 36, 14}},
        {QStringLiteral("pop3"), QStringLiteral("卡操作"), 4, {17, 25, 31, 32}},
        {QStringLiteral("Pop4"), QStringLiteral("采集及监视"), 3, {20, 38, 37, 21, 34, 24}},
        {QStringLiteral("Pop5"), QStringLiteral("数据查询"), 5, {22, 33, 27, 28, 30}},
        {QStringLiteral("pop2"), QStringLiteral("帮助"), 13, {11, 12}},
    };
    return b;
}

namespace {
// r0 .. r24 in order.
constexpr int kRightTools[kRightCount] = {10, 16, 9, 15, 18, 19, 8, 38, 37, 29, 35, 36, 17,
                                          25, 31, 32, 20, 21, 34, 22, 33, 27, 28, 30, 6};
} // namespace

int toolOfRight(int right)
{
    return right >= 0 && right < kRightCount ? kRightTools[right] : 0;
}

int rightOfTool(int number)
{
    for (int r = 0; r < kRightCount; ++r)
        if (kRightTools[r] == number)
            return r;
    return -1;
}

Dispatch dispatchOf(int number)
{
    static const QHash<int, QString> windows = {
        {6, QStringLiteral("Frmspecial")},   {8, QStringLiteral("Frmdoors")},
        {9, QStringLiteral("frmsys")},       {10, QStringLiteral("FrmRigS")},
        {15, QStringLiteral("Frmbm")},       {16, QStringLiteral("FrmInit")},
        {17, QStringLiteral("FrmFK")},       {18, QStringLiteral("Frmxg")},
        {20, QStringLiteral("FrmGatherData")}, {21, QStringLiteral("FrmssjsN")},
        {22, QStringLiteral("FrmFKXXCX")},   {23, QStringLiteral("FrmSJCJSZ")},
        {25, QStringLiteral("FrmFKZL")},     {27, QStringLiteral("Frmque")},
        {28, QStringLiteral("Frmkq")},       {29, QStringLiteral("FrmWTS")},
        {30, QStringLiteral("FrmMon")},      {31, QStringLiteral("FrmDec")},
        {32, QStringLiteral("FrmEtD")},      {33, QStringLiteral("FrmTkcx")},
        {34, QStringLiteral("FrmSSXX")},     {35, QStringLiteral("FrmDataBase")},
        {36, QStringLiteral("sjkwf2")},      {37, QStringLiteral("Frmkqzl")},
        {38, QStringLiteral("FrmGatherName")},
    };
    switch (number) {
    case 11: return {Action::Help, QString()};
    case 12: return {Action::About, QStringLiteral("frmabout")};
    case 14: return {Action::Exit, QString()};
    default: break;
    }
    auto it = windows.find(number);
    if (it != windows.end())
        return {Action::OpenWindow, it.value()};
    return {};
}

QList<int> windowTools()
{
    QList<int> out;
    for (int n = 1; n <= 39; ++n)
        if (dispatchOf(n).action == Action::OpenWindow)
            out.append(n);
    return out;
}

} // namespace tools
