#include "Restless.h"

#include "com/Com.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

Restless::~Restless()
{
    if (!started_)
        return;
    com::setCallStartObserver({});
    ui_.onDoEvents = nullptr;
    ui_.runEvents = false;
}

void Restless::start()
{
    started_ = true;
    ui_.runEvents = true;
    ui_.onDoEvents = [this] { postArmed(); };
    com::setCallStartObserver([this](const com::IDispatch*, const QString& member, int underway) {
        most_ = std::max(most_, underway + 1);
        const int n = ++begun_[member.toLower()];
        for (Act& a : acts_)
            if (!a.armed && n == a.nth && a.member.compare(member, Qt::CaseInsensitive) == 0)
                a.armed = true;
    });
}

void Restless::reset()
{
    acts_.clear();
    begun_.clear();
    most_ = 0;
    acted_ = 0;
}

void Restless::at(const QString& member, int nth, std::function<void()> act)
{
    acts_.append(Act{member, nth, std::move(act)});
}

void Restless::postArmed()
{
    for (Act& a : acts_) {
        if (!a.armed || a.posted)
            continue;
        a.posted = true;
        // Delivered by the event processing that follows, as a click is.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, act = a.act] {
                ++acted_;
                act();
            },
            Qt::QueuedConnection);
    }
}

void Restless::click(const std::function<void()>& act)
{
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        act();
        // The operator's clicks that came while the run blocked the window
        // are handled once it is back in the loop.
        postArmed();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
