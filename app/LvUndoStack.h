#pragma once

#include "formats/LvCameraData.h"
#include "image/LvImage.h"

#include <cstddef>
#include <memory>

// The document's undo store: eight slots of full image copies. Slots below the level hold older images
// (oldest in slot 0), undo moves down; non-empty slots from the level up hold what redo brings back. Each
// slot also keeps what had happened to the pixels of its image since the file was read. The copies stay
// within a memory budget: a new snapshot first drops the oldest ones that would pass it.
class LvUndoStack {
public:
    static const int kSlots = 8;
    // Eight snapshots of a 100-megapixel picture would take 2.4 GB, more than a 32-bit process has.
    static const size_t kDefaultBudget = sizeof(void*) == 4 ? size_t(768) << 20 : size_t(4096) << 20;
    // The memory one snapshot of an image takes: pixels, selection and alpha planes.
    static size_t SnapshotBytes(const CLvImage& image);
    void SetBudget(size_t bytes) { m_budget = bytes; }
    size_t Bytes() const;
    // How many of the oldest snapshots the last Submit dropped to stay within the budget.
    int DroppedByBudget() const { return m_dropped; }
    int Level() const { return m_level; }
    const CLvImage* Slot(int i) const { return i >= 0 && i < kSlots ? m_slots[i].get() : nullptr; }
    // Pushes a copy (pixels, selection, alpha) of current, dropping the redo entries and, when full, the
    // oldest snapshot. An image without pixels pushes nothing (the redo entries are dropped all the same).
    // Returns the snapshot, or null.
    const CLvImage* Submit(const CLvImage* current, const LvPixelHistory& history = LvPixelHistory());
    bool CanUndo() const { return m_level > 0 && m_slots[m_level - 1]; }
    bool CanRedo() const { return m_level < kSlots && m_slots[m_level]; }
    // Exchanges current (and its history, when given) with the snapshot below the level (undo) or at it
    // (redo) and moves the level.
    void Undo(std::unique_ptr<CLvImage>& current, LvPixelHistory* history = nullptr);
    void Redo(std::unique_ptr<CLvImage>& current, LvPixelHistory* history = nullptr);
    // Forgets what redo would bring back (a command that failed and was taken back).
    void DropRedo();
    void Clear();

private:
    void DropOldest();
    void Exchange(int slot, std::unique_ptr<CLvImage>& current, LvPixelHistory* history);
    std::unique_ptr<CLvImage> m_slots[kSlots];
    LvPixelHistory m_histories[kSlots];
    int m_level = 0;
    size_t m_budget = kDefaultBudget;
    int m_dropped = 0;
};
