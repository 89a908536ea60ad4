#include "app/LvUndoStack.h"

const CLvImage* LvUndoStack::Submit(const CLvImage* current, const LvPixelHistory& history) {
    if (m_level >= kSlots) {
        for (int i = 0; i < kSlots - 1; i++) {
            m_slots[i] = std::move(m_slots[i + 1]);
            m_histories[i] = m_histories[i + 1];
        }
        m_slots[kSlots - 1].reset();
        m_level = kSlots - 1;
    }
    for (int i = m_level; i < kSlots; i++)
        m_slots[i].reset();
    if (!current || !current->IsValid()) return nullptr;
    std::unique_ptr<CLvImage> copy(new CLvImage());
    if (!copy->Copy(*current, true, true, true) || !copy->IsValid()) return nullptr;
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

void LvUndoStack::Clear() {
    for (int i = 0; i < kSlots; i++) {
        m_slots[i].reset();
        m_histories[i] = LvPixelHistory();
    }
    m_level = 0;
}
