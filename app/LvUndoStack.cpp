#include "app/LvUndoStack.h"

const CLvImage* LvUndoStack::Submit(const CLvImage* current) {
    if (m_level >= kSlots) {
        for (int i = 0; i < kSlots - 1; i++)
            m_slots[i] = std::move(m_slots[i + 1]);
        m_slots[kSlots - 1].reset();
        m_level = kSlots - 1;
    }
    for (int i = m_level; i < kSlots; i++)
        m_slots[i].reset();
    if (!current || !current->IsValid()) return nullptr;
    std::unique_ptr<CLvImage> copy(new CLvImage());
    if (!copy->Copy(*current, true, true, true) || !copy->IsValid()) return nullptr;
    m_slots[m_level] = std::move(copy);
    return m_slots[m_level++].get();
}

void LvUndoStack::Undo(std::unique_ptr<CLvImage>& current) {
    if (!CanUndo()) return;
    std::swap(current, m_slots[m_level - 1]);
    m_level--;
}

void LvUndoStack::Redo(std::unique_ptr<CLvImage>& current) {
    if (!CanRedo()) return;
    std::swap(current, m_slots[m_level]);
    m_level++;
}

void LvUndoStack::Clear() {
    for (auto& slot : m_slots)
        slot.reset();
    m_level = 0;
}
