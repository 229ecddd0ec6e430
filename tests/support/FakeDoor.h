#pragma once
// A stand-in for the controller object: the members of Door8096 with their
// parameter types, by-reference flags and defaults, recording every call and
// answering from scripted handlers.
#include "com/Com.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

class FakeDoor : public com::DispatchObject {
public:
    struct Call {
        QString member;
        com::Args args;   // as coerced to the member's parameter types
    };
    using Handler = std::function<com::Variant(com::Args&)>;

    FakeDoor();

    // Scripts a member (name in any case); unscripted members fail the way
    // the library does (False, -1 or an empty text).
    void on(const QString& member, Handler h) { handlers_[member.toLower()] = std::move(h); }
    // Calls of one member, in order.
    QList<Call> callsOf(const QString& member) const;

    QList<Call> calls;

private:
    void add(const QString& name, std::vector<com::Param> params, com::Variant failure);
    QHash<QString, Handler> handlers_;
};
