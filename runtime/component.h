// component.h -- the component base: owner and name, owned components, and published
// properties that a resource sets by name from text, in published order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "errors.h"

namespace tarnwick {

// Raised for an unknown property name or a value text that does not parse.
class EPropertyError : public Exception {
public:
    using Exception::Exception;
};

// One published property: its name, its type's name, its default as text, and how to read
// and write it as text. Event properties have no text form (their accessors are empty).
struct TPropertyInfo {
    std::string Name;
    std::string TypeName;
    std::string Default;
    std::function<void(const std::string&)> SetText;
    std::function<std::string()> GetText;
};

class TComponent {
public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();  // frees the components it owns, last inserted first
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    std::int64_t Tag() const { return tag_; }
    void SetTag(std::int64_t tag) { tag_ = tag; }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const;
    TComponent* FindComponent(const std::string& name) const;

    // Published properties in published order; "Name" and "Tag" come first.
    virtual std::vector<TPropertyInfo> PublishedProperties();

    void SetPropertyText(const std::string& name, const std::string& text);
    std::string GetPropertyText(const std::string& name);

private:
    TComponent* owner_;
    std::string name_;
    std::int64_t tag_ = 0;
    std::vector<TComponent*> components_;
};

// Name = value pairs of one object of a resource.
using TResourceProperties = std::vector<std::pair<std::string, std::string>>;

// Sets the properties of a resource on a component. They are applied in the component's
// published order, whatever their order in the resource, as a form loader streams them;
// an unknown name raises EPropertyError before anything is set.
void ApplyResource(TComponent& component, const TResourceProperties& properties);

// Parses resource text, one "Name = Value" a line; string values may be quoted with '...'
// (a doubled quote stands for one). Blank lines and lines starting with "//" are skipped.
TResourceProperties ParseResourceText(const std::string& text);

// Text forms of the common property types.
bool ParseBooleanText(const std::string& text);  // "True" / "False", any case
std::string BooleanText(bool value);
std::int64_t ParseIntegerText(const std::string& text);

// Enumerations: the value whose name equals text, else EPropertyError.
template <typename Enum, std::size_t N>
Enum ParseEnumText(const std::string& text, const std::pair<Enum, const char*> (&names)[N])
{
    for (const auto& [value, name] : names)
        if (text == name)
            return value;
    throw EPropertyError("Valeur de propriété incorrecte : " + text);
}

template <typename Enum, std::size_t N>
std::string EnumText(Enum value, const std::pair<Enum, const char*> (&names)[N])
{
    for (const auto& [v, name] : names)
        if (v == value)
            return name;
    return std::to_string(static_cast<int>(value));
}

}  // namespace tarnwick
