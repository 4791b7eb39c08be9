// The ordered item list: insertion, removal, moving, copying and the update
// transaction that the item list window relies on for Cancel.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "items/Items.h"
#include "tests/unit/ItemPrint.h"

using namespace rw;

namespace {

class ItemsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gItems.Clear();
        gItems.UpdateConfirm();
        CurItem = ItemRec{};
    }
    void TearDown() override {
        gItems.Clear();
        gItems.UpdateConfirm();
        CurItem = ItemRec{};
    }

    static clsItems ListOf(const std::vector<std::string>& descs) {
        clsItems l;
        for (const auto& d : descs) l.AddItem(Named(d, "title " + d));
        return l;
    }
    static std::vector<std::string> Descs(const clsItems& l) {
        std::vector<std::string> out;
        for (std::int32_t i = 0; i < l.Count(); ++i) out.push_back(l.GetDesc(i));
        return out;
    }
    static ItemRec Full(const std::string& tag, std::int32_t n) {
        ItemRec r;
        r.Desc = "desc " + tag;
        r.Title = "title " + tag;
        r.TitleTestType = n;
        r.WinClass = "class " + tag;
        r.Text = "text " + tag + "\r\nline 2";
        r.Modul = "/usr/bin/" + tag;
        r.Macro = "macro {ENTER}" + tag;
        r.WinSize = "400x150";
        r.Delay = n * 100;
        return r;
    }
    using V = std::vector<std::string>;
};

TEST_F(ItemsTest, NewListIsEmpty) {
    clsItems l;
    EXPECT_EQ(l.Count(), 0);
    EXPECT_FALSE(l.HasSnapshot());
}

TEST_F(ItemsTest, AddItemAtInsertsAndShiftsBack) {
    clsItems l;
    l.AddItemAt(0, Full("a", 1));
    EXPECT_EQ(l.Count(), 1);
    l = ListOf({"A", "B"});
    l.AddItemAt(l.Count(), Full("end", 2));
    EXPECT_EQ(Descs(l), (V{"A", "B", "desc end"}));
    l = ListOf({"A", "B"});
    l.AddItemAt(0, Named("X"));
    EXPECT_EQ(Descs(l), (V{"X", "A", "B"}));
    l.AddItemAt(2, Named("Y"));
    EXPECT_EQ(Descs(l), (V{"X", "A", "Y", "B"}));
}

TEST_F(ItemsTest, AddItemAtStoresEveryFieldInItsPlace) {
    clsItems l;
    l.AddItemAt(0, ItemRec{"d", "t", 3, "c", "x\r\ny", "m", "mac", "40x50", 250});
    ItemRec r;
    l.GetItem(0, r);
    EXPECT_EQ(r.Desc, "d");
    EXPECT_EQ(r.Title, "t");
    EXPECT_EQ(r.TitleTestType, 3);
    EXPECT_EQ(r.WinClass, "c");
    EXPECT_EQ(r.Text, "x\r\ny");
    EXPECT_EQ(r.Modul, "m");
    EXPECT_EQ(r.WinSize, "40x50");
    EXPECT_EQ(r.Macro, "mac");
    EXPECT_EQ(r.Delay, 250);
}

TEST_F(ItemsTest, BadIndexForRequiredPositionsThrows) {
    clsItems l = ListOf({"A", "B"});
    EXPECT_THROW(l.AddItemAt(3, Full("x", 0)), std::out_of_range);
    EXPECT_THROW(l.AddItemAt(-1, Full("x", 0)), std::out_of_range);
    EXPECT_THROW(l.SetItemAt(2, ItemRec{}), std::out_of_range);
    EXPECT_THROW(l.SetItemAt(-1, ItemRec{}), std::out_of_range);
    EXPECT_THROW((void)l.GetItemAsString(2), std::out_of_range);
    EXPECT_THROW((void)l.GetItemAsString(-1), std::out_of_range);
    EXPECT_EQ(Descs(l), (V{"A", "B"}));
}

TEST_F(ItemsTest, RejectedParseInsertLeavesCurItemAlone) {
    clsItems l = ListOf({"A"});
    CurItem = Full("cur", 5);
    EXPECT_THROW(l.AddItemAtByString(5, "[Item]\r\nDesc=new\r\n"), std::out_of_range);
    EXPECT_EQ(CurItem, Full("cur", 5));
    EXPECT_EQ(l.Count(), 1);
}

TEST_F(ItemsTest, SetItemAtOverwritesEveryField) {
    clsItems l;
    l.AddItemAt(0, Full("a", 1));
    l.SetItemAt(0, ItemRec{"d", "t", 2, "c", "x", "m", "mac", "1x2", 7});
    ItemRec r;
    l.GetItem(0, r);
    ItemRec want{"d", "t", 2, "c", "x", "m", "mac", "1x2", 7};
    EXPECT_EQ(r, want);
}

TEST_F(ItemsTest, GetItemOutsideLeavesOutputsUntouched) {
    clsItems l = ListOf({"A", "B"});
    ItemRec out = Full("keep", 9);
    l.GetItem(2, out);
    EXPECT_EQ(out, Full("keep", 9));
    l.GetItem(-1, out);
    EXPECT_EQ(out, Full("keep", 9));
    EXPECT_EQ(l.GetDesc(-1), "");
    EXPECT_EQ(l.GetDesc(2), "");
}

TEST_F(ItemsTest, GetItemCopiesSoEditsDoNotReachTheList) {
    clsItems l;
    l.AddItemAt(0, Full("a", 1));
    ItemRec r;
    l.GetItem(0, r);
    r.Title = "changed";
    ItemRec again;
    l.GetItem(0, again);
    EXPECT_EQ(again, Full("a", 1));
}

TEST_F(ItemsTest, SetDescOnlyInsideTheList) {
    clsItems l = ListOf({"A", "B"});
    l.SetDesc(1, "b2");
    l.SetDesc(2, "nope");
    l.SetDesc(-1, "nope");
    EXPECT_EQ(Descs(l), (V{"A", "b2"}));
}

TEST_F(ItemsTest, RemoveItem) {
    clsItems l = ListOf({"A", "B", "C"});
    l.RemoveItem(1);
    EXPECT_EQ(Descs(l), (V{"A", "C"}));
    l.RemoveItem(2);
    l.RemoveItem(-1);
    EXPECT_EQ(Descs(l), (V{"A", "C"}));
    l.RemoveItem(0);
    l.RemoveItem(0);
    EXPECT_EQ(l.Count(), 0);
    l = ListOf({"only"});
    l.RemoveItem(0);
    EXPECT_EQ(l.Count(), 0);
}

TEST_F(ItemsTest, MoveItemWorkedExamples) {
    clsItems l = ListOf({"A", "B", "C", "D"});
    l.MoveItem(2, 0);
    EXPECT_EQ(Descs(l), (V{"C", "A", "B", "D"}));
    l = ListOf({"A", "B", "C", "D"});
    l.MoveItem(0, 2);
    EXPECT_EQ(Descs(l), (V{"B", "C", "A", "D"}));
    l = ListOf({"A", "B", "C", "D"});
    l.MoveItem(1, 1);
    EXPECT_EQ(Descs(l), (V{"A", "B", "C", "D"}));
    l.MoveItem(3, 0);
    EXPECT_EQ(Descs(l), (V{"D", "A", "B", "C"}));
    l.MoveItem(0, 3);
    EXPECT_EQ(Descs(l), (V{"A", "B", "C", "D"}));
}

TEST_F(ItemsTest, MoveItemOutsideDoesNothing) {
    clsItems l = ListOf({"A", "B", "C", "D"});
    l.MoveItem(1, 4);
    l.MoveItem(4, 1);
    l.MoveItem(-1, 0);
    l.MoveItem(0, -1);
    EXPECT_EQ(Descs(l), (V{"A", "B", "C", "D"}));
}

TEST_F(ItemsTest, MoveItemKeepsWholeRecords) {
    clsItems l;
    for (int i = 0; i < 3; ++i) l.AddItemAt(i, Full(std::to_string(i), i));
    l.MoveItem(0, 2);
    ItemRec r;
    l.GetItem(2, r);
    EXPECT_EQ(r, Full("0", 0));
    l.GetItem(0, r);
    EXPECT_EQ(r, Full("1", 1));
}

TEST_F(ItemsTest, CopyItemWorkedExamples) {
    clsItems l = ListOf({"A", "B", "C"});
    l.CopyItem(0, 2);
    EXPECT_EQ(Descs(l), (V{"A", "B", "A", "C"}));
    l = ListOf({"A", "B", "C"});
    l.CopyItem(1, 3);
    EXPECT_EQ(Descs(l), (V{"A", "B", "C", "B"}));
    l = ListOf({"A", "B", "C"});
    l.CopyItem(2, 0);
    EXPECT_EQ(Descs(l), (V{"C", "A", "B", "C"}));
}

TEST_F(ItemsTest, CopyItemOutsideDoesNothing) {
    clsItems l = ListOf({"A", "B", "C"});
    l.CopyItem(3, 0);
    l.CopyItem(0, 4);
    l.CopyItem(-1, 0);
    l.CopyItem(0, -1);
    EXPECT_EQ(Descs(l), (V{"A", "B", "C"}));
}

TEST_F(ItemsTest, CopyItemIsIndependentOfItsSource) {
    clsItems l;
    l.AddItemAt(0, Full("a", 1));
    l.CopyItem(0, 1);
    l.SetDesc(0, "changed");
    EXPECT_EQ(l.GetDesc(1), "desc a");
}

TEST_F(ItemsTest, ClearEmptiesTheList) {
    clsItems l = ListOf({"A", "B"});
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
    l.AddItem(Named("C", ""));
    EXPECT_EQ(Descs(l), (V{"C"}));
}

TEST_F(ItemsTest, AddItemWithOnlyDescAndTitle) {
    CurItem = Full("cur", 7);  // AddItem must not pick anything up from here
    clsItems l = ListOf({"A"});
    l.AddItem(Named("d", "t"));
    ItemRec r = Full("junk", 3);
    l.GetItem(1, r);
    EXPECT_EQ(r, (ItemRec{"d", "t", 0, "", "", "", "", "", 0}));
}

TEST_F(ItemsTest, AddItemTakesDelayFromFlags) {
    clsItems l;
    l.AddItem(ItemRec{"d", "t", 2, "c", "x", "m", "mac", "1x2", 250});
    ItemRec r;
    l.GetItem(0, r);
    EXPECT_EQ(r, (ItemRec{"d", "t", 2, "c", "x", "m", "mac", "1x2", 250}));
}

TEST_F(ItemsTest, CancelRestoresOldItemsAndCount) {
    clsItems l;
    for (int i = 0; i < 4; ++i) l.AddItemAt(i, Full(std::to_string(i), i));
    clsItems before = l;
    l.UpdateBegin();
    EXPECT_TRUE(l.HasSnapshot());
    l.Clear();
    l.AddItemAt(0, Full("x", 1));
    l.AddItemAt(0, Full("y", 2));
    l.AddItemAt(2, Full("z", 3));
    EXPECT_EQ(l.Count(), 3);
    l.UpdateCancel();
    EXPECT_FALSE(l.HasSnapshot());
    ASSERT_EQ(l.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        ItemRec a, b;
        l.GetItem(i, a);
        before.GetItem(i, b);
        EXPECT_EQ(a, b) << i;
    }
}

TEST_F(ItemsTest, CancelOnSnapshotOfEmptyListEmptiesIt) {
    clsItems l;
    l.UpdateBegin();
    l.AddItem(Named("A", ""));
    l.AddItem(Named("B", ""));
    l.UpdateCancel();
    EXPECT_EQ(l.Count(), 0);
}

TEST_F(ItemsTest, CancelUndoesEditsInsideRecordsAndMoves) {
    clsItems l = ListOf({"A", "B", "C"});
    l.UpdateBegin();
    l.SetDesc(0, "a2");
    l.MoveItem(2, 0);
    l.RemoveItem(1);
    l.UpdateCancel();
    EXPECT_EQ(Descs(l), (V{"A", "B", "C"}));
}

TEST_F(ItemsTest, ConfirmKeepsEditsAndDropsTheSnapshot) {
    clsItems l = ListOf({"A", "B"});
    l.UpdateBegin();
    l.RemoveItem(0);
    l.AddItem(Named("C", ""));
    l.UpdateConfirm();
    EXPECT_FALSE(l.HasSnapshot());
    EXPECT_EQ(Descs(l), (V{"B", "C"}));
    // The snapshot is gone: a later Cancel cannot bring back A.
    l.UpdateCancel();
    EXPECT_EQ(Descs(l), (V{"B", "C"}));
}

TEST_F(ItemsTest, CancelWithoutSnapshotDoesNothing) {
    clsItems l = ListOf({"A", "B"});
    l.UpdateCancel();
    EXPECT_EQ(Descs(l), (V{"A", "B"}));
    l.UpdateBegin();
    l.AddItem(Named("C", ""));
    l.UpdateCancel();
    l.AddItem(Named("D", ""));
    l.UpdateCancel();  // second cancel: snapshot already used up
    EXPECT_EQ(Descs(l), (V{"A", "B", "D"}));
}

TEST_F(ItemsTest, SecondBeginReplacesTheFirstSnapshot) {
    clsItems l = ListOf({"A"});
    l.UpdateBegin();
    l.AddItem(Named("B", ""));
    l.UpdateBegin();
    l.AddItem(Named("C", ""));
    l.UpdateCancel();
    EXPECT_EQ(Descs(l), (V{"A", "B"}));
}

TEST_F(ItemsTest, GlobalListIsOneSharedObject) {
    gItems.AddItem(Named("g", ""));
    clsItems& again = gItems;
    EXPECT_EQ(again.Count(), 1);
    EXPECT_EQ(again.GetDesc(0), "g");
}

}  // namespace
