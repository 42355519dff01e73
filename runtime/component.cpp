// component.cpp -- ownership of components and by-name property setting.
#include "component.h"

#include <algorithm>
#include <cctype>

namespace tarnwick {

TComponent::TComponent(TComponent* owner) : owner_(owner)
{
    if (owner_ != nullptr)
        owner_->components_.push_back(this);
}

TComponent::~TComponent()
{
    while (!components_.empty()) {
        TComponent* child = components_.back();
        components_.pop_back();
        child->owner_ = nullptr;
        delete child;
    }
    if (owner_ != nullptr) {
        auto& siblings = owner_->components_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

TComponent* TComponent::Components(int index) const
{
    if (index < 0 || index >= ComponentCount())
        throw EListError(index);
    return components_[static_cast<std::size_t>(index)];
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
    for (TComponent* c : components_)
        if (c->name_ == name)
            return c;
    return nullptr;
}

std::vector<TPropertyInfo> TComponent::PublishedProperties()
{
    return {
        {"Name", "TComponentName", "", [this](const std::string& t) { name_ = t; }, [this] { return name_; }},
        {"Tag", "Integer", "0", [this](const std::string& t) { tag_ = ParseIntegerText(t); },
         [this] { return std::to_string(tag_); }},
    };
}

void TComponent::SetPropertyText(const std::string& name, const std::string& text)
{
    for (const TPropertyInfo& p : PublishedProperties()) {
        if (p.Name == name) {
            if (!p.SetText)
                throw EPropertyError("Propriété " + name + " : pas de forme texte");
            p.SetText(text);
            return;
        }
    }
    throw EPropertyError("Propriété " + name + " inexistante");
}

std::string TComponent::GetPropertyText(const std::string& name)
{
    for (const TPropertyInfo& p : PublishedProperties())
        if (p.Name == name && p.GetText)
            return p.GetText();
    throw EPropertyError("Propriété " + name + " inexistante");
}

void ApplyResource(TComponent& component, const TResourceProperties& properties)
{
    const std::vector<TPropertyInfo> published = component.PublishedProperties();
    for (const auto& property : properties) {
        // Not a structured binding: clang before 16 cannot capture one in the lambda.
        const std::string& name = property.first;
        const bool known = std::any_of(published.begin(), published.end(),
                                       [&](const TPropertyInfo& p) { return p.Name == name; });
        if (!known)
            throw EPropertyError("Propriété " + name + " inexistante");
    }
    for (const TPropertyInfo& p : published) {
        for (const auto& [name, value] : properties) {
            if (name == p.Name)
                component.SetPropertyText(name, value);
        }
    }
}

namespace {

std::string trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

}  // namespace

TResourceProperties ParseResourceText(const std::string& text)
{
    TResourceProperties out;
    std::size_t i = 0;
    while (i <= text.size()) {
        std::size_t nl = text.find('\n', i);
        if (nl == std::string::npos)
            nl = text.size();
        const std::string line = trim(text.substr(i, nl - i));
        i = nl + 1;
        if (line.empty() || line.rfind("//", 0) == 0)
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            throw EPropertyError("Ligne de ressource incorrecte : " + line);
        const std::string name = trim(line.substr(0, eq));
        std::string value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
            std::string unquoted;
            for (std::size_t k = 1; k + 1 < value.size(); ++k) {
                unquoted += value[k];
                if (value[k] == '\'' && k + 2 < value.size() && value[k + 1] == '\'')
                    ++k;
            }
            value = unquoted;
        }
        out.emplace_back(name, value);
    }
    return out;
}

bool ParseBooleanText(const std::string& text)
{
    std::string t = text;
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::tolower(c); });
    if (t == "true")
        return true;
    if (t == "false")
        return false;
    throw EPropertyError("Valeur de propriété incorrecte : " + text);
}

std::string BooleanText(bool value) { return value ? "True" : "False"; }

std::int64_t ParseIntegerText(const std::string& text)
{
    std::size_t used = 0;
    std::int64_t v = 0;
    try {
        v = std::stoll(text, &used, 10);
    } catch (const std::exception&) {
        throw EPropertyError("Valeur de propriété incorrecte : " + text);
    }
    if (used != text.size())
        throw EPropertyError("Valeur de propriété incorrecte : " + text);
    return v;
}

}  // namespace tarnwick
