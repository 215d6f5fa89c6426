// The setlist and the show's progress as the project stores them, and what a damaged store loads.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>

#include "show/project_store.h"
#include "show_fixture.h"

namespace quorvane::show {
namespace {

using Stored = std::map<std::string, std::string>;

class ProjectStore : public test::ShowTest {
 protected:
  void Store(const Stored& values) {
    for (const auto& [key, value] : values)
      host.SetExtState("Quorvane", key, value);
  }
  std::vector<std::string> WrittenKeys() const {
    std::vector<std::string> written;
    for (const sim::HostCall& call : host.CallsTo("SetProjExtState"))
      written.push_back(call.text);
    return written;
  }
};

TEST_F(ProjectStore, SetlistIsStoredByteForByte) {
  setlist.Append(SetlistItem::Song(4));
  setlist.Append(SetlistItem::Pause());
  setlist.Append(SetlistItem::Song(7, true));
  host.ClearCalls();
  ASSERT_TRUE(SaveSetlist(api, setlist));
  EXPECT_EQ(WrittenKeys(), (std::vector<std::string>{
                               "Quorvane/Setlist.Count=3",
                               "Quorvane/Setlist.Item.0.RegionID=4",
                               "Quorvane/Setlist.Item.0.Type=SONG",
                               "Quorvane/Setlist.Item.0.AutoStart=0",
                               "Quorvane/Setlist.Item.1.RegionID=-1",
                               "Quorvane/Setlist.Item.1.Type=PAUSE",
                               "Quorvane/Setlist.Item.1.AutoStart=0",
                               "Quorvane/Setlist.Item.2.RegionID=7",
                               "Quorvane/Setlist.Item.2.Type=SONG",
                               "Quorvane/Setlist.Item.2.AutoStart=1",
                           }));

  // It loads back with the first item current; a song right after a pause cannot start by itself.
  engine.InitShowEngine();
  EXPECT_EQ(setlist.Items(),
            (std::vector{SetlistItem::Song(4), SetlistItem::Pause(), SetlistItem::Song(7, false)}));
  EXPECT_EQ(setlist.CurrentIndex(), 0);
  EXPECT_EQ(ui.setlist, &setlist);
}

TEST_F(ProjectStore, ShrunkSetlistReloadsWithItsNewCount) {
  for (int region = 1; region <= 5; ++region)
    setlist.AddRegionToSetlist(region);
  SaveSetlist(api, setlist);
  for (int i = 0; i < 3; ++i)
    setlist.RemoveItem(0);
  SaveSetlist(api, setlist);
  engine.InitShowEngine();
  EXPECT_EQ(setlist.Items(), (std::vector{SetlistItem::Song(4), SetlistItem::Song(5)}));
}

SetlistItem WithNote(SetlistItem item, std::string note) {
  item.note = std::move(note);
  return item;
}

TEST_F(ProjectStore, NotesTravelWithTheirItemsAndLeaveNothingBehind) {
  setlist.Append(SetlistItem::Song(4));
  setlist.Append(SetlistItem::Song(5));
  setlist.Append(SetlistItem::Song(6));
  ASSERT_TRUE(setlist.SetNote(0, "capo 2\nSam \"counts\" in \\ \x01 \xC3\xA9"));
  EXPECT_FALSE(setlist.SetNote(3, "no such item"));
  EXPECT_FALSE(setlist.SetNote(1, std::string(Setlist::kMaxNoteBytes + 1, 'x')));
  EXPECT_TRUE(setlist.SetNote(1, std::string(Setlist::kMaxNoteBytes, 'x')));
  setlist.SetNote(1, "");
  host.ClearCalls();
  SaveSetlist(api, setlist);
  // One line a value, and no key at all for an item without a note.
  EXPECT_EQ(Key("Setlist.Item.0.Note"), "capo 2\\nSam \"counts\" in \\\\ \\x01 \xC3\xA9");
  for (const std::string& key : WrittenKeys())
    EXPECT_EQ(key.find("Item.1.Note"), std::string::npos) << key;

  // Moved and removed, the note goes with its song; the old index keeps no copy.
  setlist.MoveItemDown(0);
  setlist.MoveItemDown(1);
  SaveSetlist(api, setlist);
  engine.InitShowEngine();
  EXPECT_EQ(
      setlist.Items(),
      (std::vector{SetlistItem::Song(5), SetlistItem::Song(6),
                   WithNote(SetlistItem::Song(4), "capo 2\nSam \"counts\" in \\ \x01 \xC3\xA9")}));
  EXPECT_EQ(Key("Setlist.Item.0.Note"), "");
  setlist.RemoveItem(2);
  setlist.AddRegionToSetlist(7);
  SaveSetlist(api, setlist);
  engine.InitShowEngine();
  EXPECT_EQ(setlist.Items(),
            (std::vector{SetlistItem::Song(5), SetlistItem::Song(6), SetlistItem::Song(7)}));
}

TEST_F(ProjectStore, StoredNotesTooLongForTheEditorAreLeftOut) {
  Store({{"Setlist.Count", "3"},
         {"Setlist.Item.0.RegionID", "4"},
         {"Setlist.Item.0.Note", std::string(Setlist::kMaxNoteBytes + 1, 'x')},
         {"Setlist.Item.1.RegionID", "-1"},
         {"Setlist.Item.1.Type", "PAUSE"},
         {"Setlist.Item.1.Note", "change guitars"},
         {"Setlist.Item.2.RegionID", "5"},
         {"Setlist.Item.2.Note", std::string(Setlist::kMaxNoteBytes * 5, '\\')}});
  engine.InitShowEngine();
  EXPECT_EQ(setlist.Items(),
            (std::vector{SetlistItem::Song(4), WithNote(SetlistItem::Pause(), "change guitars"),
                         SetlistItem::Song(5)}));
}

TEST_F(ProjectStore, LenientValuesAreReadAsTheCLibraryReadsThem) {
  Store({{"Setlist.Count", " +4 items"},
         {"Setlist.Item.0.RegionID", " 12abc"},
         {"Setlist.Item.0.Type", "SONG"},
         {"Setlist.Item.1.RegionID", "9"},  // a pause whatever it says
         {"Setlist.Item.1.Type", "PAUSE"},
         {"Setlist.Item.1.AutoStart", "1"},
         {"Setlist.Item.2.RegionID", "5"},  // no Type: a song
         {"Setlist.Item.2.AutoStart", "1"},
         {"Setlist.Item.3.RegionID", "99999999999"},
         {"Setlist.Item.3.Type", "pause"},  // only "PAUSE" makes a pause
         {"Setlist.Item.3.AutoStart", "-2"}});
  engine.InitShowEngine();
  EXPECT_EQ(setlist.Items(),
            (std::vector{SetlistItem::Song(12), SetlistItem::Pause(), SetlistItem::Song(5, false),
                         SetlistItem::Song(INT_MAX, true)}));

  EXPECT_EQ(ParseStoredInt("-99999999999"), INT_MIN);
  EXPECT_EQ(ParseStoredInt("\t\n-17x"), -17);
  EXPECT_EQ(ParseStoredInt("- 3"), 0);
  EXPECT_EQ(ParseStoredInt("abc"), 0);
}

TEST_F(ProjectStore, EmptyStoredSetlistLoadsEmpty) {
  Store({{"Setlist.Count", "0"}});
  setlist.AddRegionToSetlist(3);
  engine.InitShowEngine();
  EXPECT_TRUE(setlist.Empty());
  EXPECT_EQ(setlist.CurrentIndex(), -1);
}

// Every failure leaves an empty setlist, never the items read before the failure.
TEST_F(ProjectStore, DamagedOrPartialSetlistLoadsEmpty) {
  const std::vector<std::pair<std::string, Stored>> damaged = {
      {"never used", {}},
      {"negative count", {{"Setlist.Count", "-1"}}},
      {"count beyond the items",
       {{"Setlist.Count", "3"},
        {"Setlist.Item.0.RegionID", "4"},
        {"Setlist.Item.1.RegionID", "5"}}},
      {"song zero",
       {{"Setlist.Count", "2"},
        {"Setlist.Item.0.RegionID", "4"},
        {"Setlist.Item.1.RegionID", "0"}}},
      {"song without a number",
       {{"Setlist.Count", "2"},
        {"Setlist.Item.0.RegionID", "4"},
        {"Setlist.Item.1.RegionID", "abc"},
        {"Setlist.Item.1.Type", "SONG"}}},
      {"negative song", {{"Setlist.Count", "1"}, {"Setlist.Item.0.RegionID", "-3"}}},
  };
  for (const auto& [name, values] : damaged) {
    SCOPED_TRACE(name);
    sim::Host fresh;
    host::HostApi freshApi;
    ASSERT_TRUE(freshApi.Bind(fresh.Info()->GetFunc));
    for (const auto& [key, value] : values)
      fresh.SetExtState("Quorvane", key, value);
    Setlist loaded;
    loaded.AddRegionToSetlist(8);
    host::HeldSettings freshHeld{freshApi};
    ShowEngine freshEngine{freshApi, freshHeld, clock, loaded, practise};
    freshEngine.InitShowEngine();
    EXPECT_TRUE(loaded.Empty());
    EXPECT_EQ(loaded.CurrentIndex(), -1);
  }
}

TEST_F(ProjectStore, ShowStateAndDurationTexts) {
  engine.ResetShow();
  EXPECT_EQ(Key("show_status"), "PREPARED");
  EXPECT_EQ(Key("show_start"), "0");
  EXPECT_EQ(Key("show_finish"), "0");
  EXPECT_EQ(Key("show_current"), "-1");
  EXPECT_EQ(Key("show_duration"), "2700.000");

  host.ClearCalls();
  EXPECT_TRUE(engine.SetShowDuration(90.5));
  EXPECT_EQ(WrittenKeys(), std::vector<std::string>{"Quorvane/show_duration=90.500000"});
  EXPECT_FALSE(engine.SetShowDuration(0.0));
  EXPECT_FALSE(engine.SetShowDuration(-60.0));
  EXPECT_EQ(engine.Record().duration, 90.5);
  EXPECT_EQ(host.CountCalls("SetProjExtState"), 1);

  host.ClearCalls();
  engine.SaveShowState();
  EXPECT_EQ(WrittenKeys(),
            (std::vector<std::string>{"Quorvane/show_status=PREPARED", "Quorvane/show_start=0",
                                      "Quorvane/show_finish=0", "Quorvane/show_current=-1",
                                      "Quorvane/show_song=0", "Quorvane/show_duration=90.500",
                                      "Quorvane/show_played="}));
}

TEST_F(ProjectStore, StoredShowLineReadsBackAndADamagedOneIsRefused) {
  StoredShow show;
  show.status = ShowStatus::kLive;
  show.startMs = 1'780'000'123'456;
  show.current = 3;
  show.currentSong = 12;
  show.duration = 5400.0;
  show.played = {2, 7, 12};
  const std::string line = StoredShowText(show);
  EXPECT_EQ(line,
            "status=LIVE;start=1780000123456;finish=0;current=3;song=12;duration=5400.000;"
            "played=2,7,12");
  EXPECT_EQ(ParseStoredShow(line), show);

  // Played songs are region numbers, each once and ascending, whatever the line says.
  const auto reordered = ParseStoredShow("status=LIVE;played=9,x,3,9,-4,");
  ASSERT_TRUE(reordered);
  EXPECT_EQ(reordered->played, (std::vector<int32_t>{3, 9}));
  EXPECT_EQ(reordered->duration, kDefaultShowDuration);

  EXPECT_FALSE(ParseStoredShow(""));
  EXPECT_FALSE(ParseStoredShow("start=5;current=1"));       // no status
  EXPECT_FALSE(ParseStoredShow("status=PLAYING;start=5"));  // not a status we write
  const auto badNumbers = ParseStoredShow("status=LIVE;start=soon;duration=-3;current=");
  ASSERT_TRUE(badNumbers);
  EXPECT_EQ(badNumbers->startMs, 0);  // a start that cannot be read is no start: never resumed
  EXPECT_EQ(badNumbers->duration, kDefaultShowDuration);
  EXPECT_EQ(badNumbers->current, -1);
}

}  // namespace
}  // namespace quorvane::show
