#pragma once
// A value with its kind, so that one comparison checks both: "i:7", "d:0.5", "t:[ text]"
// (brackets show the blanks), "null".
#include <string>

#include "core/value.h"

namespace testsupport {

inline std::string show(const core::Value& v) {
    switch (v.kind()) {
        case core::Value::Kind::Empty:
            return "empty";
        case core::Value::Kind::Null:
            return "null";
        case core::Value::Kind::Int16:
            return "i16:" + std::to_string(v.rawInt());
        case core::Value::Kind::Int32:
            return "i:" + std::to_string(v.rawInt());
        case core::Value::Kind::Double:
            return "d:" + core::doubleToText(v.rawDouble()).toStdString();
        case core::Value::Kind::Bool:
            return v.rawInt() ? "b:true" : "b:false";
        case core::Value::Kind::Text:
            return "t:[" + v.rawText().toStdString() + "]";
    }
    return "?";
}

}  // namespace testsupport
