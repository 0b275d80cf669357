#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

// Where the settings live: the registry key on Windows, a settings file
// elsewhere. Reads give nothing for a missing value or one of the wrong type.
class settings_backend {
public:
    virtual ~settings_backend() = default;
    virtual std::optional<std::string> read_string(const std::string& name) = 0;
    virtual std::optional<std::int32_t> read_int(const std::string& name) = 0;
    // Prepares a save (creating the key or file if needed); false when it cannot.
    virtual bool begin_write() = 0;
    virtual bool write_string(const std::string& name, const std::string& value) = 0;
    virtual bool write_int(const std::string& name, std::int32_t value) = 0;
    // Ends a save; false when what was written did not reach the store.
    virtual bool end_write() = 0;
};

// The user's lasting choices between runs.
class reg {
public:
    explicit reg(std::unique_ptr<settings_backend> backend);

    // Reads what is stored; a missing value keeps its default, and the first
    // integer that cannot be read ends the integer reads.
    void load();
    // Writes every value; fails with "Unable to write to registry!".
    void save();

    std::string tscorfile;
    std::string devfile;
    std::int32_t ctd_time = 1;
    std::int32_t ctd_pres = 2;
    std::int32_t ctd_temp = 3;
    std::int32_t ctd_saln = 5;
    std::int16_t commport = 1;
    std::int32_t tab_index = 0;
    std::int32_t autotemp = 0;
    // A port chosen by name or path; empty when the number is used.
    std::string commport_name;

private:
    std::unique_ptr<settings_backend> backend;
};

// A store that lives in memory only (for the command line and for tests).
class memory_settings : public settings_backend {
public:
    std::optional<std::string> read_string(const std::string& name) override;
    std::optional<std::int32_t> read_int(const std::string& name) override;
    bool begin_write() override { return writable; }
    bool write_string(const std::string& name, const std::string& value) override;
    bool write_int(const std::string& name, std::int32_t value) override;
    bool end_write() override { return writable; }

    bool writable = true;
    struct entry {
        std::string name;
        std::string text;
        bool is_int = false;
        std::int32_t number = 0;
    };
    std::vector<entry> entries;
};

} // namespace vantrel
