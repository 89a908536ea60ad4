#pragma once

#include "formats/LvCameraData.h"
#include "image/LvImage.h"

#include <memory>

// The document's undo store: eight slots of full image copies. Slots below the level hold older images
// (oldest in slot 0), undo moves down; non-empty slots from the level up hold what redo brings back. Each
// slot also keeps what had happened to the pixels of its image since the file was read.
class LvUndoStack {
public:
    static const int kSlots = 8;
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
    void Clear();

private:
    void Exchange(int slot, std::unique_ptr<CLvImage>& current, LvPixelHistory* history);
    std::unique_ptr<CLvImage> m_slots[kSlots];
    LvPixelHistory m_histories[kSlots];
    int m_level = 0;
};
