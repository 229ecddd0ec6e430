#include "RuntimeError.h"

#include <QHash>

#include <cerrno>

namespace rt {

QString errorDescription(int number)
{
    static const QHash<int, QString> table = {
        {3, QStringLiteral("无 GoSub 返回")},
        {5, QStringLiteral("无效的过程调用或参数")},
        {6, QStringLiteral("溢出")},
        {7, QStringLiteral("内存不足")},
        {9, QStringLiteral("下标越界")},
        {11, QStringLiteral("除数为零")},
        {13, QStringLiteral("类型不匹配")},
        {52, QStringLiteral("文件名或文件号错误")},
        {53, QStringLiteral("文件未找到")},
        {54, QStringLiteral("文件模式错误")},
        {55, QStringLiteral("文件已打开")},
        {57, QStringLiteral("设备 I/O 错误")},
        {58, QStringLiteral("文件已存在")},
        // Every full disk reads the same, a database file or any other.
        {61, QStringLiteral("磁盘空间已满，数据未能写入")},
        {62, QStringLiteral("输入超出文件尾")},
        {70, QStringLiteral("没有权限")},
        {75, QStringLiteral("路径/文件访问错误")},
        {76, QStringLiteral("路径未找到")},
        {91, QStringLiteral("对象变量或 With 块变量未设置")},
        {94, QStringLiteral("无效使用 Null")},
        {380, QStringLiteral("无效的属性值")},
        {429, QStringLiteral("ActiveX 部件不能创建对象")},
        {438, QStringLiteral("对象不支持该属性或方法")},
        {440, QStringLiteral("自动化错误")},
        {450, QStringLiteral("错误的参数号或无效的属性赋值")},
        {3000, QStringLiteral("数据库错误")},
        {3021, QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前记录已被删除，所需的操作要求一个当前的记录。")},
        {3078, QStringLiteral("数据库引擎找不到输入表或查询。确定它是否存在，以及它的名称的拼写是否正确。")},
        {3265, QStringLiteral("在对应所需名称或序数的集合中，未找到项目。")},
        {3704, QStringLiteral("对象关闭时，不允许操作。")},
        {3706, QStringLiteral("未找到提供程序。该程序可能未正确安装。")},
        {-2147467259, QStringLiteral("未指定的错误")},
        {8002, QStringLiteral("无效的端口号")},
        {8005, QStringLiteral("端口已打开")},
        {8015, QStringLiteral("串口驱动不支持控制器线路所需的 mark/space 校验")},
        {8018, QStringLiteral("仅当端口打开时操作才有效")},
    };
    auto it = table.constFind(number);
    if (it != table.constEnd())
        return it.value();
    return QStringLiteral("应用程序定义的错误或对象定义的错误 (%1)").arg(number);
}

Error::Error(int number, QString description)
    : std::runtime_error("runtime error " + std::to_string(number))
    , number_(number)
    , description_(description.isEmpty() ? errorDescription(number) : std::move(description))
{
}

QString Error::text() const
{
    return QString::number(number_) + QLatin1Char(':') + description_;
}

void raise(int number, const QString& description)
{
    throw Error(number, description);
}

void raiseErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR: raise(ErrPathNotFound);
    case EACCES:
    case EPERM:
    case EROFS: raise(ErrPermissionDenied);
    case ENOSPC:
    case EDQUOT: raise(ErrDiskFull);
    case EIO: raise(ErrIoError);
    default: raise(ErrPathFileAccess);
    }
}

} // namespace rt
