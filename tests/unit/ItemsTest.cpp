// The ordered item list: insertion, removal, moving, copying and the update
// transaction that the item list window relies on for Cancel.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "items/Items.h"
#include "tests/unit/CoreFixture.h"

using namespace rw;

namespace {

using V = std::vector<std::string>;

class ItemsTest : public CoreTest {
protected:
    static clsItems ListOf(const V& descs) {
        clsItems l;
        for (const auto& d : descs) l.AddItem(Named(d, "title " + d));
        return l;
    }
    static V Descs(const clsItems& l) {
        V out;
        for (std::int32_t i = 0; i < l.Count(); ++i) out.push_back(l.GetDesc(i));
        return out;
    }
    static ItemRec Full(const std::string& tag, std::int32_t n) {
        return ItemRec{"desc " + tag, "title " + tag, n, "class " + tag, "text " + tag + "\r\nline 2",
                       "/usr/bin/" + tag, "macro {ENTER}" + tag, "400x150", n * 100};
    }
    static ItemRec At(const clsItems& l, std::int32_t i) {
        ItemRec r;
        l.GetItem(i, r);
        return r;
    }
};

TEST_F(ItemsTest, AddAndSetStoreEveryFieldInItsPlace) {
    CurItem = Full("cur", 7);  // adding must not pick anything up from here
    clsItems l;
    const ItemRec a{"d", "t", 3, "c", "x\r\ny", "m", "mac", "40x50", 250};
    const ItemRec b{"d2", "t2", 2, "c2", "x2", "m2", "mac2", "1x2", 7};
    l.AddItemAt(0, a);
    l.AddItem(b);
    l.AddItem(Named("n", "t"));
    EXPECT_EQ(At(l, 0), a);
    EXPECT_EQ(At(l, 1), b);
    EXPECT_EQ(At(l, 2), (ItemRec{"n", "t", 0, "", "", "", "", "", 0}));
    l.SetItemAt(0, b);
    EXPECT_EQ(At(l, 0), b);
}

TEST_F(ItemsTest, AddItemAtInsertsAndShiftsBack) {
    clsItems l = ListOf({"A", "B"});
    l.AddItemAt(l.Count(), Named("end"));
    EXPECT_EQ(Descs(l), (V{"A", "B", "end"}));
    l.AddItemAt(0, Named("X"));
    EXPECT_EQ(Descs(l), (V{"X", "A", "B", "end"}));
    l.AddItemAt(2, Named("Y"));
    EXPECT_EQ(Descs(l), (V{"X", "A", "Y", "B", "end"}));
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

TEST_F(ItemsTest, OutsideTheListReadsAndEditsNothing) {
    clsItems l = ListOf({"A", "B"});
    ItemRec out = Full("keep", 9);
    l.GetItem(2, out);
    l.GetItem(-1, out);
    EXPECT_EQ(out, Full("keep", 9));
    EXPECT_EQ(l.GetDesc(-1), "");
    EXPECT_EQ(l.GetDesc(2), "");
    l.SetDesc(1, "b2");
    l.SetDesc(2, "nope");
    l.SetDesc(-1, "nope");
    l.RemoveItem(2);
    l.RemoveItem(-1);
    EXPECT_EQ(Descs(l), (V{"A", "b2"}));
}

TEST_F(ItemsTest, RemoveAndClear) {
    clsItems l = ListOf({"A", "B", "C"});
    l.RemoveItem(1);
    EXPECT_EQ(Descs(l), (V{"A", "C"}));
    l.RemoveItem(0);
    l.RemoveItem(0);
    EXPECT_EQ(l.Count(), 0);
    l = ListOf({"A", "B"});
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
    l.AddItem(Named("C"));
    EXPECT_EQ(Descs(l), (V{"C"}));
}

TEST_F(ItemsTest, MoveAndCopy) {
    const struct {
        bool copy;
        std::int32_t from, to;
        V want;
    } cases[] = {
        {false, 2, 0, {"C", "A", "B", "D"}},  {false, 0, 2, {"B", "C", "A", "D"}},
        {false, 1, 1, {"A", "B", "C", "D"}},  {false, 3, 0, {"D", "A", "B", "C"}},
        {false, 0, 3, {"B", "C", "D", "A"}},  {false, 1, 4, {"A", "B", "C", "D"}},
        {false, 4, 1, {"A", "B", "C", "D"}},  {false, -1, 0, {"A", "B", "C", "D"}},
        {false, 0, -1, {"A", "B", "C", "D"}}, {true, 0, 2, {"A", "B", "A", "C", "D"}},
        {true, 1, 4, {"A", "B", "C", "D", "B"}}, {true, 2, 0, {"C", "A", "B", "C", "D"}},
        {true, 4, 0, {"A", "B", "C", "D"}},   {true, 0, 5, {"A", "B", "C", "D"}},
        {true, -1, 0, {"A", "B", "C", "D"}},  {true, 0, -1, {"A", "B", "C", "D"}},
    };
    for (const auto& c : cases) {
        clsItems l = ListOf({"A", "B", "C", "D"});
        if (c.copy) {
            l.CopyItem(c.from, c.to);
        } else {
            l.MoveItem(c.from, c.to);
        }
        EXPECT_EQ(Descs(l), c.want) << (c.copy ? "copy " : "move ") << c.from << " -> " << c.to;
    }
}

TEST_F(ItemsTest, MoveAndCopyKeepWholeRecords) {
    clsItems l;
    for (int i = 0; i < 3; ++i) l.AddItemAt(i, Full(std::to_string(i), i));
    l.MoveItem(0, 2);
    EXPECT_EQ(At(l, 2), Full("0", 0));
    EXPECT_EQ(At(l, 0), Full("1", 1));
    l.CopyItem(0, 3);
    EXPECT_EQ(At(l, 3), Full("1", 1));
}

// ---- The update transaction -----------------------------------------------

TEST_F(ItemsTest, CancelRestoresOldItemsAndCount) {
    clsItems l;
    for (int i = 0; i < 4; ++i) l.AddItemAt(i, Full(std::to_string(i), i));
    EXPECT_FALSE(l.HasSnapshot());
    l.UpdateBegin();
    EXPECT_TRUE(l.HasSnapshot());
    l.Clear();
    l.AddItemAt(0, Full("x", 1));
    l.AddItemAt(0, Full("y", 2));
    l.AddItemAt(2, Full("z", 3));
    l.UpdateCancel();
    EXPECT_FALSE(l.HasSnapshot());
    ASSERT_EQ(l.Count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(At(l, i), Full(std::to_string(i), i)) << i;
}

TEST_F(ItemsTest, CancelOnSnapshotOfEmptyListEmptiesIt) {
    clsItems l;
    l.UpdateBegin();
    l.AddItem(Named("A"));
    l.AddItem(Named("B"));
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
    l.AddItem(Named("C"));
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
    l.AddItem(Named("C"));
    l.UpdateCancel();
    l.AddItem(Named("D"));
    l.UpdateCancel();  // second cancel: snapshot already used up
    EXPECT_EQ(Descs(l), (V{"A", "B", "D"}));
}

TEST_F(ItemsTest, SecondBeginReplacesTheFirstSnapshot) {
    clsItems l = ListOf({"A"});
    l.UpdateBegin();
    l.AddItem(Named("B"));
    l.UpdateBegin();
    l.AddItem(Named("C"));
    l.UpdateCancel();
    EXPECT_EQ(Descs(l), (V{"A", "B"}));
}

}  // namespace
