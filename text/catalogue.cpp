#include "text/catalogue.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace text {
namespace {

// The catalogues the build compiled from i18n/*.po (written by scripts/texts.py).
#include "compiled_catalogues.inc"

struct Catalogue {
    CatalogueData data;
    std::unordered_map<std::string_view, const char*> texts;
};

struct Registry {
    std::mutex mutex;
    std::vector<std::unique_ptr<Catalogue>> catalogues; // never shrinks: pointers stay valid
    std::atomic<const Catalogue*> current{nullptr};     // null: Russian

    Registry() {
        for (const CatalogueData& data : kCompiledCatalogues) add(data);
    }
    void add(const CatalogueData& data) {
        auto c = std::make_unique<Catalogue>();
        c->data = data;
        for (std::size_t i = 0; i < data.count; ++i) c->texts.emplace(data.pairs[2 * i], data.pairs[2 * i + 1]);
        std::lock_guard lock(mutex);
        catalogues.push_back(std::move(c));
    }
    const Catalogue* find(std::string_view code) {
        std::lock_guard lock(mutex);
        for (const auto& c : catalogues)
            if (code == c->data.code) return c.get();
        return nullptr;
    }
};

Registry& registry() {
    static Registry r;
    return r;
}

const Catalogue* current() { return registry().current.load(std::memory_order_acquire); }

const char* lookup(const Catalogue* c, std::string_view russian) {
    if (c == nullptr) return nullptr;
    auto it = c->texts.find(russian);
    return it == c->texts.end() ? nullptr : it->second;
}

// Russian: one for 1, 21, 31...; a few for 2-4, 22-24...; many otherwise.
int plural_index(long long n, int forms) {
    const long long a = n < 0 ? -n : n;
    if (forms >= 3) {
        if (a % 10 == 1 && a % 100 != 11) return 0;
        if (a % 10 >= 2 && a % 10 <= 4 && (a % 100 < 12 || a % 100 > 14)) return 1;
        return 2;
    }
    if (forms == 2) return a == 1 ? 0 : 1;
    return 0;
}

std::string substitute(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size() + 16);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char ch = pattern[i];
        if (ch == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const std::size_t k = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (k < args.size()) {
                out += *(args.begin() + k);
                ++i;
                continue;
            }
        }
        out += ch;
    }
    return out;
}

} // namespace

std::vector<Language> languages() {
    std::vector<Language> out{{"ru", "Русский"}};
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (const auto& c : r.catalogues) out.push_back({c->data.code, c->data.name});
    return out;
}

bool set_language(std::string_view code) {
    Registry& r = registry();
    if (code == "ru") {
        r.current.store(nullptr, std::memory_order_release);
        return true;
    }
    const Catalogue* c = r.find(code);
    if (c == nullptr) return false;
    r.current.store(c, std::memory_order_release);
    return true;
}

std::string language() {
    const Catalogue* c = current();
    return c == nullptr ? "ru" : c->data.code;
}

bool choose_from_environment() {
    const char* value = std::getenv("LUMAFORGE_LANG");
    return value != nullptr && *value != '\0' && set_language(value);
}

void add_catalogue(const CatalogueData& data) { registry().add(data); }

const char* tr(const char* russian) {
    const char* t = lookup(current(), russian);
    return t == nullptr ? russian : t;
}

std::string tr(std::string_view russian) {
    const char* t = lookup(current(), russian);
    return t == nullptr ? std::string(russian) : std::string(t);
}

std::string format(const char* pattern, std::initializer_list<std::string_view> args) {
    return substitute(tr(pattern), args);
}

std::string plural(long long n, const char* forms) {
    const Catalogue* c = current();
    const char* own = lookup(c, forms);
    const std::string_view chosen = own == nullptr ? std::string_view(forms) : std::string_view(own);
    const int count = own == nullptr ? 3 : c->data.plural_forms;
    int index = plural_index(n, count);
    std::size_t start = 0;
    for (; index > 0; --index) {
        const std::size_t bar = chosen.find('|', start);
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    const std::size_t end = chosen.find('|', start);
    const std::string number = std::to_string(n);
    return substitute(chosen.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start),
                      {number});
}

char decimal_point() {
    const Catalogue* c = current();
    return c == nullptr ? ',' : c->data.decimal_point;
}

std::vector<std::string> missing_texts(std::string_view code, const std::vector<std::string>& russian_texts) {
    std::vector<std::string> out;
    if (code == "ru") return out;
    const Catalogue* c = registry().find(code);
    for (const std::string& t : russian_texts)
        if (lookup(c, t) == nullptr) out.push_back(t);
    return out;
}

} // namespace text
