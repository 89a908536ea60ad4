#include "app/LvUndoStack.h"

#include <new>

size_t LvUndoStack::SnapshotBytes(const CLvImage& image) {
    if (!image.IsValid()) return 0;
    const size_t rows = size_t(image.GetHeight() < 0 ? -image.GetHeight() : image.GetHeight());
    const size_t pixels = size_t(image.GetWidth()) * rows;
    return size_t(image.GetEffWidth()) * rows + (image.pSelection ? pixels : 0) + (image.pAlpha ? pixels : 0);
}

size_t LvUndoStack::Bytes() const {
    size_t total = 0;
    for (const auto& slot : m_slots)
        if (slot) total += SnapshotBytes(*slot);
    return total;
}

void LvUndoStack::DropOldest() {
    for (int i = 0; i < kSlots - 1; i++) {
        m_slots[i] = std::move(m_slots[i + 1]);
        m_histories[i] = m_histories[i + 1];
    }
    m_slots[kSlots - 1].reset();
    m_histories[kSlots - 1] = LvPixelHistory();
    if (m_level > 0) m_level--;
}

const CLvImage* LvUndoStack::Submit(const CLvImage* current, const LvPixelHistory& history) {
    m_dropped = 0;
    if (m_level >= kSlots) DropOldest();
    for (int i = m_level; i < kSlots; i++)
        m_slots[i].reset();
    if (!current || !current->IsValid()) return nullptr;
    // The oldest snapshots go first while the new one would not fit beside them.
    const size_t needed = SnapshotBytes(*current);
    while (m_level > 0 && Bytes() + needed > m_budget) {
        DropOldest();
        m_dropped++;
    }
    std::unique_ptr<CLvImage> copy(new (std::nothrow) CLvImage());
    if (!copy || !copy->Copy(*current, true, true, true) || !copy->IsValid()) return nullptr;
    m_slots[m_level] = std::move(copy);
    m_histories[m_level] = history;
    return m_slots[m_level++].get();
}

void LvUndoStack::Exchange(int slot, std::unique_ptr<CLvImage>& current, LvPixelHistory* history) {
    std::swap(current, m_slots[slot]);
    if (history) std::swap(*history, m_histories[slot]);
}

void LvUndoStack::Undo(std::unique_ptr<CLvImage>& current, LvPixelHistory* history) {
    if (!CanUndo()) return;
    Exchange(m_level - 1, current, history);
    m_level--;
}

void LvUndoStack::Redo(std::unique_ptr<CLvImage>& current, LvPixelHistory* history) {
    if (!CanRedo()) return;
    Exchange(m_level, current, history);
    m_level++;
}

void LvUndoStack::DropRedo() {
    for (int i = m_level; i < kSlots; i++)
        m_slots[i].reset();
}

void LvUndoStack::Clear() {
    for (int i = 0; i < kSlots; i++) {
        m_slots[i].reset();
        m_histories[i] = LvPixelHistory();
    }
    m_level = 0;
}
