#include "app/settings.hpp"
#include "test_support.hpp"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

struct store_and_settings {
    memory_settings* store;
    reg settings;
};

store_and_settings make(std::vector<memory_settings::entry> entries = {})
{
    auto backend = std::make_unique<memory_settings>();
    backend->entries = std::move(entries);
    memory_settings* raw = backend.get();
    return {raw, reg(std::move(backend))};
}

memory_settings::entry number(const std::string& name, std::int32_t v)
{
    return {name, {}, true, v};
}

memory_settings::entry text(const std::string& name, const std::string& v)
{
    return {name, v, false, 0};
}

} // namespace

TEST(settings_store, loading_keeps_defaults_from_the_first_integer_that_cannot_be_read)
{
    // A first run: nothing stored.
    auto fresh = make();
    fresh.settings.load();
    EXPECT_EQ(fresh.settings.devfile, "");
    EXPECT_EQ(fresh.settings.tscorfile, "");
    EXPECT_EQ(fresh.settings.commport, 1);
    EXPECT_EQ(fresh.settings.ctd_time, 1);
    EXPECT_EQ(fresh.settings.ctd_pres, 2);
    EXPECT_EQ(fresh.settings.ctd_temp, 3);
    EXPECT_EQ(fresh.settings.ctd_saln, 5);
    EXPECT_EQ(fresh.settings.tab_index, 0);
    EXPECT_EQ(fresh.settings.autotemp, 0);

    // ctd_time stored, ctd_pres missing: everything after it keeps its default.
    auto partial =
        make({number("ctd_time", 4), number("ctd_temp", 9), number("commport", 6), number("tab_index", 1)});
    partial.settings.load();
    EXPECT_EQ(partial.settings.ctd_time, 4);
    EXPECT_EQ(partial.settings.ctd_temp, 3);
    EXPECT_EQ(partial.settings.commport, 1);
    EXPECT_EQ(partial.settings.tab_index, 0);

    // A value of the wrong type counts as missing; "0" as the coefficient file is none.
    auto typed = make({text("tscorfile", "0"), text("devfile", "/data/m.dev"), number("ctd_time", 2),
                       number("ctd_pres", 3), number("ctd_temp", 4), number("ctd_saln", 6),
                       text("commport", "x"), number("tab_index", 1)});
    typed.settings.load();
    EXPECT_EQ(typed.settings.tscorfile, "");
    EXPECT_EQ(typed.settings.devfile, "/data/m.dev");
    EXPECT_EQ(typed.settings.ctd_saln, 6);
    EXPECT_EQ(typed.settings.commport, 1);
    EXPECT_EQ(typed.settings.tab_index, 0);
}

TEST(settings_store, saving_writes_every_value_and_automatic_temperature_starts_off)
{
    auto first = make({number("ctd_time", 1), number("ctd_pres", 2), number("ctd_temp", 3),
                       number("ctd_saln", 5), number("commport", -2), number("tab_index", 1),
                       number("autotemp", 1), text("tscorfile", "/c/coef.txt")});
    first.settings.load();
    EXPECT_EQ(first.settings.autotemp, 0);
    EXPECT_EQ(first.settings.commport, -2);
    EXPECT_EQ(first.settings.tscorfile, "/c/coef.txt");
    first.settings.commport = 12;
    first.settings.commport_name = "/dev/ttyUSB1";
    first.settings.devfile = "/d/ixo.dev";
    first.settings.save();
    EXPECT_EQ(first.store->read_int("autotemp"), 0);

    auto second = make(first.store->entries);
    second.settings.load();
    EXPECT_EQ(second.settings.commport, 12);
    EXPECT_EQ(second.settings.commport_name, "/dev/ttyUSB1");
    EXPECT_EQ(second.settings.devfile, "/d/ixo.dev");
    EXPECT_EQ(second.settings.tab_index, 1);
    EXPECT_EQ(second.settings.tscorfile, "/c/coef.txt");
    // The 16-bit port number is stored sign-extended.
    second.settings.commport = -5;
    second.settings.save();
    EXPECT_EQ(second.store->read_int("commport"), -5);

    second.store->writable = false;
    second.settings.ctd_time = 8;
    EXPECT_EQ(error_of([&] { second.settings.save(); }), "Unable to write to registry!");
    EXPECT_EQ(second.settings.ctd_time, 8);
}
