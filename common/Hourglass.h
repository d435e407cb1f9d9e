// CHourglass: holds the wait cursor. Value(true) shows the hourglass,
// Value(false) the default pointer, and the destructor always restores the
// default pointer, so a scope left early never leaves the hourglass behind.
// Guards do not nest: the first one destroyed restores the default.
#pragma once

class CHourglass {
public:
    CHourglass() = default;
    ~CHourglass();
    CHourglass(const CHourglass&) = delete;
    CHourglass& operator=(const CHourglass&) = delete;

    bool Value() const { return value_; }
    void Value(bool fValue);

private:
    bool value_ = false;
};
