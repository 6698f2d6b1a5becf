"""Thread binding, deallocation on a foreign thread, the internal-failure exception and the borrow rules, through
the test-only Probe class (built exactly like Env, EnvrConfig and Model)."""

import gc
import sys
import weakref

import pytest

import brenlox_copt
from support import argcheck
from support.argcheck import run_in_thread
from support.number_likes import Calling

module = argcheck.load()
Probe = module.Probe

SENT = "brenlox_argcheck::Probe is unsendable, but sent to another thread"
DROPPED = "brenlox_argcheck::Probe is unsendable, but is being dropped on another thread"


def notes(error):
    return getattr(error, "__notes__", [])


# Threads -----------------------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "call",
    [
        lambda probe: probe.touch(),
        lambda probe: probe.look(),
        lambda probe: probe.unsigned(1),
        lambda probe: Probe(peer=probe),
        lambda probe: Probe().peer(probe),
    ],
)
def test_use_on_another_thread_is_an_internal_failure(call):
    probe = Probe()
    error = run_in_thread(call, probe)
    assert str(error) == SENT and error.args == (SENT,)
    assert notes(error) == []
    assert isinstance(error, BaseException) and not isinstance(error, Exception)
    assert type(error).__mro__[1:] == (BaseException, object)
    assert (type(error).__module__, type(error).__name__) == ("pyo3_runtime", "PanicException")
    assert probe.unsigned(3) == 3  # the creating thread can still use it


def test_internal_failure_type_is_created_once():
    probe = Probe()
    first = run_in_thread(probe.touch)
    second = run_in_thread(probe.look)
    assert type(first) is type(second)
    assert not hasattr(brenlox_copt, "PanicException")


def test_thread_check_follows_binding_and_precedes_conversion():
    probe = Probe()
    converted = []

    class Watched:
        def __index__(self):
            converted.append(True)
            return 1

    error = run_in_thread(probe.unsigned, 1, 2)
    assert isinstance(error, TypeError)
    assert str(error) == "Probe.unsigned() takes 1 positional arguments but 2 were given"
    assert str(run_in_thread(probe.unsigned, Watched())) == SENT
    assert converted == []


@pytest.fixture
def unraisable(monkeypatch):
    gc.collect()  # earlier tests' garbage must not be released during this one
    seen = []
    monkeypatch.setattr(sys, "unraisablehook", seen.append)
    return seen


def test_an_ended_creating_thread_is_never_confused_with_a_later_one(unraisable):
    probes = [run_in_thread(Probe) for _ in range(5)]
    for probe in probes:
        assert str(run_in_thread(probe.touch)) == SENT
    with pytest.raises(BaseException) as caught:
        probes[0].touch()
    assert str(caught.value) == SENT
    del probe, probes
    assert [str(report.exc_value) for report in unraisable] == [DROPPED] * 5


def test_drop_on_the_creating_thread_releases_the_content(unraisable):
    before = module.released()
    probe = Probe()
    del probe
    assert module.released() == before + 1
    assert unraisable == []


def test_drop_on_another_thread_leaks_the_content_and_reports_it(unraisable):
    box = [Probe()]
    before = module.released()

    def drop():
        box.pop()  # the probe's last reference goes here, on this thread

    run_in_thread(drop)
    assert module.released() == before
    [report] = unraisable
    assert type(report.exc_value) is RuntimeError
    assert str(report.exc_value) == DROPPED


def test_drop_on_another_thread_keeps_a_pending_exception(unraisable):
    box = [Probe()]

    def drop_while_raising():
        try:
            # The dict and with it the probe are released while the KeyError is already set.
            {box.pop(): 0}[1]
        except KeyError as error:
            return error

    error = run_in_thread(drop_while_raising)
    assert type(error) is KeyError and error.args == (1,)
    assert [str(report.exc_value) for report in unraisable] == [DROPPED]


def test_objects_have_no_dict_no_weakrefs_and_no_gc():
    probe = Probe()
    with pytest.raises(AttributeError):
        probe.anything = 1
    with pytest.raises(TypeError):
        weakref.ref(probe)
    assert not gc.is_tracked(probe)


# Borrows -----------------------------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "outer, inner, message",
    [
        ("number", lambda probe: probe.touch(), "Already borrowed"),
        ("number", lambda probe: probe.number(1.0), "Already borrowed"),
        ("number", lambda probe: probe.look(), "Already mutably borrowed"),
        ("number", lambda probe: probe.read_number(1.0), "Already mutably borrowed"),
        ("read_number", lambda probe: probe.touch(), "Already borrowed"),
        ("unsigned_list", lambda probe: probe.nothing(), "Already borrowed"),
    ],
)
def test_reentry_from_argument_conversion(outer, inner, message):
    probe = Probe()
    argument = Calling(lambda: inner(probe))
    value = [argument] if outer.endswith("_list") else argument
    with pytest.raises(RuntimeError) as caught:
        getattr(probe, outer)(value)
    assert str(caught.value) == message
    assert notes(caught.value) == ["while processing 'value'"]
    probe.touch()  # every borrow was given back


def test_readers_nest():
    probe = Probe()
    inner_results = []
    argument = Calling(lambda: inner_results.append((probe.look(), probe.read_number(2.5))))
    assert probe.read_number(argument) == 1.0
    assert inner_results == [(None, 2.5)]


def test_reentry_into_another_object_works():
    probe, other = Probe(), Probe()
    assert probe.number(Calling(lambda: other.touch())) == 1.0


def test_binding_errors_come_before_the_borrow():
    probe = Probe()
    errors = []

    def call_badly():
        try:
            probe.unsigned()
        except TypeError as error:
            errors.append(str(error))

    probe.number(Calling(call_badly))
    assert errors == ["Probe.unsigned() missing 1 required positional argument: 'value'"]


def test_object_argument_is_borrowed_shared():
    probe, other = Probe(), Probe()
    assert probe.peer(other) is None
    assert probe.peer(probe) is None  # a method holding a shared borrow may take another shared one
    assert Probe(peer=other) is not None
    assert Probe(other) is not None


def test_object_argument_held_exclusively_is_refused_with_both_notes():
    probe = Probe()
    argument = Calling(lambda: Probe(peer=probe))
    with pytest.raises(RuntimeError) as caught:
        probe.number(argument)
    assert str(caught.value) == "Already mutably borrowed"
    assert notes(caught.value) == ["while processing 'peer'", "while processing 'value'"]
    assert Probe(peer=probe) is not None  # given back


@pytest.mark.parametrize(
    "value, message",
    [
        (5, "'int' object is not an instance of 'Probe'"),
        (None, "'None' is not an instance of 'Probe'"),
        (brenlox_copt.COPT, "'type' object is not an instance of 'Probe'"),
    ],
)
def test_object_argument_of_another_type(value, message):
    with pytest.raises(TypeError) as caught:
        Probe().peer(value)
    assert str(caught.value) == message
    assert notes(caught.value) == ["while processing 'value'"]
