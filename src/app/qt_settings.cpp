#include "app/qt_settings.hpp"

#include <QSettings>
#include <QString>
#include <QVariant>

#include <cstdlib>

namespace vantrel {

namespace {

class qt_settings : public settings_backend {
public:
    qt_settings()
    {
        if (const char* file = std::getenv("VANTREL_SETTINGS"); file != nullptr && *file != '\0')
            store = std::make_unique<QSettings>(QString::fromLocal8Bit(file), QSettings::IniFormat);
#ifdef Q_OS_WIN
        else
            store = std::make_unique<QSettings>(
                QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvanta\\Vantrel15"), QSettings::NativeFormat);
#else
        else
            store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("Orvanta"), QStringLiteral("Vantrel15"));
#endif
    }

    std::optional<std::string> read_string(const std::string& name) override
    {
        const QVariant v = store->value(QString::fromStdString(name));
        if (!v.isValid())
            return std::nullopt;
        return v.toString().toStdString();
    }

    std::optional<std::int32_t> read_int(const std::string& name) override
    {
        const QVariant v = store->value(QString::fromStdString(name));
        if (!v.isValid())
            return std::nullopt;
        bool ok = false;
        const int number = v.toInt(&ok);
        if (!ok)
            return std::nullopt;
        return number;
    }

    bool begin_write() override
    {
        store->sync();
        return store->isWritable() && store->status() == QSettings::NoError;
    }

    bool write_string(const std::string& name, const std::string& value) override
    {
        store->setValue(QString::fromStdString(name), QString::fromStdString(value));
        return store->status() == QSettings::NoError;
    }

    bool write_int(const std::string& name, std::int32_t value) override
    {
        store->setValue(QString::fromStdString(name), value);
        return store->status() == QSettings::NoError;
    }

    bool end_write() override
    {
        store->sync();
        return store->status() == QSettings::NoError;
    }

private:
    std::unique_ptr<QSettings> store;
};

} // namespace

std::unique_ptr<settings_backend> make_qt_settings()
{
    return std::make_unique<qt_settings>();
}

} // namespace vantrel
