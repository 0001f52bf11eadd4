#include "systemtexts.h"

#include "uilanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// What opening a serial device can fail with. Qt translates the first two
// itself (in the same words) when its translations are installed.
struct SystemError
{
    const char *system;
    const char *ours;
};

const SystemError kSystemErrors[] = {
    {"No such file or directory", QT_TRANSLATE_NOOP("SystemError", "此文件或目录不存在")},
    {"No such device or address", QT_TRANSLATE_NOOP("SystemError", "没有那个设备或地址")},
    {"No such device", QT_TRANSLATE_NOOP("SystemError", "没有那个设备")},
    {"Permission denied", QT_TRANSLATE_NOOP("SystemError", "权限被拒绝")},
    {"Operation not permitted", QT_TRANSLATE_NOOP("SystemError", "不允许的操作")},
    {"Device or resource busy", QT_TRANSLATE_NOOP("SystemError", "设备或资源忙")},
    {"Input/output error", QT_TRANSLATE_NOOP("SystemError", "输入/输出错误")},
    {"Inappropriate ioctl for device",
     QT_TRANSLATE_NOOP("SystemError", "对设备不适当的 ioctl 操作")},
    {"Is a directory", QT_TRANSLATE_NOOP("SystemError", "是一个目录")},
    {"Not a directory", QT_TRANSLATE_NOOP("SystemError", "不是目录")},
    {"Read-only file system", QT_TRANSLATE_NOOP("SystemError", "只读文件系统")},
    {"Too many open files", QT_TRANSLATE_NOOP("SystemError", "打开的文件过多")},
    {"File name too long", QT_TRANSLATE_NOOP("SystemError", "文件名过长")},
    {"Too many levels of symbolic links", QT_TRANSLATE_NOOP("SystemError", "符号链接的层数过多")},
    {"Resource temporarily unavailable", QT_TRANSLATE_NOOP("SystemError", "资源暂时不可用")},
};

}  // namespace

bool InstallQtTranslations()
{
    if (UiLanguageIsEnglish() || !QCoreApplication::instance())
        return false;
    bool all = true;
    for (const char *catalog : {"qtbase", "qtserialport"}) {
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QLatin1String(catalog)
                             + QStringLiteral("_zh_CN"),
                                              QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(translator);
        } else {
            delete translator;
            all = false;
        }
    }
    return all;
}

QString SystemErrorText(const QString &text)
{
    for (const SystemError &e : kSystemErrors) {
        if (text == QLatin1String(e.system))
            return QCoreApplication::translate("SystemError", e.ours);
    }
    return text;
}
