#include "app/settings.hpp"

#include "common/error.hpp"

#include <algorithm>

namespace vantrel {

reg::reg(std::unique_ptr<settings_backend> store) : backend(std::move(store)) {}

void reg::load()
{
    const std::string stored_tscorfile = backend->read_string("tscorfile").value_or("0");
    tscorfile = stored_tscorfile == "0" ? std::string() : stored_tscorfile;
    // A first run has no device file yet: the path reads as empty.
    devfile = backend->read_string("devfile").value_or("");
    commport_name = backend->read_string("commport_name").value_or("");

    // The first integer that cannot be read ends the reads; it and every
    // later one keep what they held.
    std::int32_t port = commport;
    const auto read = [&](const char* name, std::int32_t& value) {
        const auto stored = backend->read_int(name);
        if (stored)
            value = *stored;
        return stored.has_value();
    };
    read("ctd_time", ctd_time) && read("ctd_pres", ctd_pres) && read("ctd_temp", ctd_temp) &&
        read("ctd_saln", ctd_saln) && read("commport", port) && read("tab_index", tab_index) &&
        read("autotemp", autotemp);
    commport = static_cast<std::int16_t>(port);
    // The automatic temperature always starts off.
    autotemp = 0;
}

void reg::save()
{
    const auto failed = [] { return error("Unable to write to registry!"); };
    if (!backend->begin_write())
        throw failed();
    const bool written =
        backend->write_string("tscorfile", tscorfile) && backend->write_string("devfile", devfile) &&
        backend->write_int("ctd_time", ctd_time) && backend->write_int("ctd_pres", ctd_pres) &&
        backend->write_int("ctd_temp", ctd_temp) && backend->write_int("ctd_saln", ctd_saln) &&
        backend->write_int("commport", commport) && backend->write_int("tab_index", tab_index) &&
        backend->write_int("autotemp", autotemp) && backend->write_string("commport_name", commport_name);
    if (!backend->end_write() || !written)
        throw failed();
}

// ---------------------------------------------------------------- memory store

namespace {

template <typename Entries> auto find_entry(Entries& entries, const std::string& name)
{
    return std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.name == name; });
}

} // namespace

std::optional<std::string> memory_settings::read_string(const std::string& name)
{
    const auto it = find_entry(entries, name);
    if (it == entries.end() || it->is_int)
        return std::nullopt;
    return it->text;
}

std::optional<std::int32_t> memory_settings::read_int(const std::string& name)
{
    const auto it = find_entry(entries, name);
    if (it == entries.end() || !it->is_int)
        return std::nullopt;
    return it->number;
}

bool memory_settings::write_string(const std::string& name, const std::string& value)
{
    if (!writable)
        return false;
    auto it = find_entry(entries, name);
    if (it == entries.end())
        it = entries.insert(entries.end(), entry{name, {}, false, 0});
    *it = entry{name, value, false, 0};
    return true;
}

bool memory_settings::write_int(const std::string& name, std::int32_t value)
{
    if (!writable)
        return false;
    auto it = find_entry(entries, name);
    if (it == entries.end())
        it = entries.insert(entries.end(), entry{name, {}, true, 0});
    *it = entry{name, {}, true, value};
    return true;
}

} // namespace vantrel
