// Value construction, ownership, deep copy and typed access.
#include "json/Json.h"

#include <memory>
#include <utility>

namespace qjson {

const int Json::kMaxDepth;

const char* Json::BadConversionException::what() const noexcept {
    return "a bad conversion";
}

Json::Json() : kind_(Null), payload_(nullptr) {}

Json::Json(double number) : kind_(Number), payload_(new double(number)) {}

Json::Json(const std::string& text) : kind_(String), payload_(new std::string(text)) {}

Json::Json(const Json& other) : kind_(Null), payload_(nullptr) {
    CopyFrom(other);
}

Json& Json::operator=(const Json& other) {
    if (this == &other) {
        return *this;
    }
    // Copy first, then swap: the source may live inside this value's own subtree
    // (value = value["member"]), and a failed copy leaves this value unchanged.
    Json copy(other);
    std::swap(kind_, copy.kind_);
    std::swap(payload_, copy.payload_);
    return *this;
}

Json::~Json() {
    Release();
}

void Json::Release() {
    switch (kind_) {
        case Number:
            delete static_cast<double*>(payload_);
            break;
        case String:
            delete static_cast<std::string*>(payload_);
            break;
        case Boolean:
            delete static_cast<bool*>(payload_);
            break;
        case Null:
            break;
        case Object: {
            auto* members = static_cast<ObjectMap*>(payload_);
            for (auto& member : *members) {
                delete member.second;
            }
            delete members;
            break;
        }
        case Array: {
            auto* elements = static_cast<ArrayVector*>(payload_);
            for (Json* element : *elements) {
                delete element;
            }
            delete elements;
            break;
        }
    }
    payload_ = nullptr;
    kind_ = Null;
}

namespace {

// Owns the members of a map or vector while it is being filled.
template <typename Container>
struct ContainerGuard {
    Container* container;
    ~ContainerGuard();
    Container* Release() {
        Container* done = container;
        container = nullptr;
        return done;
    }
};

template <>
ContainerGuard<Json::ObjectMap>::~ContainerGuard() {
    if (container != nullptr) {
        for (auto& member : *container) {
            delete member.second;
        }
        delete container;
    }
}

template <>
ContainerGuard<Json::ArrayVector>::~ContainerGuard() {
    if (container != nullptr) {
        for (Json* element : *container) {
            delete element;
        }
        delete container;
    }
}

}  // namespace

// Expects this value to be Null.
void Json::CopyFrom(const Json& other) {
    switch (other.kind_) {
        case Number:
            payload_ = new double(*static_cast<const double*>(other.payload_));
            break;
        case String:
            payload_ = new std::string(*static_cast<const std::string*>(other.payload_));
            break;
        case Boolean:
            payload_ = new bool(*static_cast<const bool*>(other.payload_));
            break;
        case Null:
            payload_ = nullptr;
            break;
        case Object: {
            ContainerGuard<ObjectMap> guard{new ObjectMap};
            for (const auto& member : *static_cast<const ObjectMap*>(other.payload_)) {
                std::unique_ptr<Json> value(new Json(*member.second));
                guard.container->emplace_hint(guard.container->end(), member.first, value.get());
                value.release();
            }
            payload_ = guard.Release();
            break;
        }
        case Array: {
            const auto& source = *static_cast<const ArrayVector*>(other.payload_);
            ContainerGuard<ArrayVector> guard{new ArrayVector};
            guard.container->reserve(source.size());
            for (const Json* element : source) {
                guard.container->push_back(new Json(*element));
            }
            payload_ = guard.Release();
            break;
        }
    }
    kind_ = other.kind_;
}

Json& Json::operator[](const char* key) {
    if (kind_ != Object) {
        throw BadConversionException();
    }
    auto& members = *static_cast<ObjectMap*>(payload_);
    auto found = members.lower_bound(key);
    if (found != members.end() && found->first == key) {
        return *found->second;
    }
    std::unique_ptr<Json> member(new Json());
    found = members.emplace_hint(found, key, member.get());
    member.release();
    return *found->second;
}

double& Json::AsNumber() {
    if (kind_ != Number) {
        throw BadConversionException();
    }
    return *static_cast<double*>(payload_);
}

std::string& Json::AsString() {
    if (kind_ != String) {
        throw BadConversionException();
    }
    return *static_cast<std::string*>(payload_);
}

bool& Json::AsBoolean() {
    if (kind_ != Boolean) {
        throw BadConversionException();
    }
    return *static_cast<bool*>(payload_);
}

Json::ObjectMap& Json::AsObject() {
    if (kind_ != Object) {
        throw BadConversionException();
    }
    return *static_cast<ObjectMap*>(payload_);
}

Json::ArrayVector& Json::AsArray() {
    if (kind_ != Array) {
        throw BadConversionException();
    }
    return *static_cast<ArrayVector*>(payload_);
}

std::string Json::StringValue() const {
    if (kind_ != String) {
        throw BadConversionException();
    }
    return *static_cast<const std::string*>(payload_);
}

int Json::size() const {
    if (kind_ == Array) {
        return static_cast<int>(static_cast<const ArrayVector*>(payload_)->size());
    }
    return 1;
}

}  // namespace qjson
