#include "scripts/ScriptPrelude.h"

const char* const DomPrelude = R"js((function (bridge, limits) {
    'use strict';
    var global = this;
    // Methods of a native object are looked up afresh on each access; these are looked up once.
    var dom = {};
    ['nodeType', 'nodeName', 'nodeValue', 'setNodeValue', 'text', 'setText', 'xml', 'baseName', 'prefix',
     'namespaceURI', 'parentNode', 'firstChild', 'lastChild', 'nextSibling', 'previousSibling', 'ownerDocument',
     'documentElement', 'childNodes', 'attributes', 'getAttribute', 'selectNodes', 'selectSingleNode',
     'newDocument', 'loadXML', 'parseError', 'setProperty', 'getProperty', 'createNode', 'appendChild',
     'setAttribute', 'setAttributeNode', 'getElementsByTagName', 'cloneNode', 'removeChild', 'insertBefore',
     'replaceChild', 'removeAttribute', 'setDocumentElement', 'isSameNode', 'keeperOf'].forEach(function (name) {
        dom[name] = bridge[name];
    });
    // One prototype for documents and other nodes: telling them apart would cost a call per node.
    var nodeProto;
    function Node(h) { this.__node = h; }
    // Odd numbers are nodes of documents scripts build, which live while a wrapper holds their keeper.
    function wrap(h) {
        if (h < 0)
            return null;
        var node = new Node(h);
        if (h & 1)
            node.__keep = dom.keeperOf(h);
        return node;
    }
    function handleOf(node) {
        if (node === null || typeof node !== 'object' || typeof node.__node !== 'number')
            throw new TypeError('A node was expected');
        return node.__node;
    }
    function optionalHandleOf(node) { return node === null || node === undefined ? -1 : handleOf(node); }

    // Collections are functions, so that nodes(0) works as in JScript, and answer [i] through
    // getters on their prototype, defined once per index an engine has needed. The rewritten
    // `typeof` still calls them objects. Lists are snapshots, so their length is fixed when made:
    // it is the function's own length, its number of parameters, for the short lists most calls
    // build, as redefining it costs more than the rest of making a list.
    // A list holds its nodes' numbers in an array, or, when they follow each other, only the first.
    function NodeList() {}
    var listProto = NodeList.prototype = Object.create(Function.prototype);
    listProto.__nodes = null;
    listProto.__first = 0;
    function handleAt(list, i) {
        var nodes = list.__nodes;
        return nodes === null ? list.__first + 2 * i : nodes[i];
    }
    // Calls cost more than the rest of a look-up here, so handleAt is written out where it counts.
    listProto.item = function (i) {
        if (!(i >= 0 && i < this.length))
            return null;
        var nodes = this.__nodes;
        var h = nodes === null ? this.__first + 2 * i : nodes[i];
        return (h & 1) === 0 && h >= 0 ? new Node(h) : wrap(h);
    };
    listProto.__next = 0;
    listProto.nextNode = function () { return this.__next < this.length ? wrap(handleAt(this, this.__next++)) : null; };
    listProto.reset = function () { this.__next = 0; };
    var indexed = 0;
    var IndexedOnPrototype = 4096;
    function defineIndex(i) {
        Object.defineProperty(listProto, i, { get: function () { return this.item(i); } });
    }
    function isIndex(key) { return typeof key === 'string' && /^(0|[1-9][0-9]*)$/.test(key); }
    var largeList = {
        get: function (target, key) { return isIndex(key) ? target.item(Number(key)) : target[key]; },
        set: function (target, key, value) { target[key] = value; return true; }
    };
    // Arrow functions: they cost less to make than other functions, which come with a prototype.
    var ShortLength = 4;
    var SpanUnit = limits.listSpanUnit;
    function makeList(handles, proto) {
        var length, first = 0, span = typeof handles === 'number';
        if (span) {
            length = (handles / SpanUnit) | 0;
            first = handles - length * SpanUnit;
        } else {
            length = handles.length;
        }
        var list;
        switch (length) {
        case 0: list = (...a) => list.item(a[0]); break;
        case 1: list = (i) => list.item(i); break;
        case 2: list = (i, b) => list.item(i); break;
        case 3: list = (i, b, c) => list.item(i); break;
        default: list = (i, b, c, d) => list.item(i); break;
        }
        if (length > ShortLength)
            Object.defineProperty(list, 'length', { value: length });
        Object.setPrototypeOf(list, proto);
        if (span)
            list.__first = first;
        else
            list.__nodes = handles;
        if (length <= IndexedOnPrototype) {
            for (; indexed < length; ++indexed)
                defineIndex(indexed);
            return list;
        }
        return new Proxy(list, largeList);
    }
    function NamedNodeMap() {}
    var mapProto = NamedNodeMap.prototype = Object.create(listProto);
    mapProto.getNamedItem = function (name) {
        for (var i = 0; i < this.length; ++i) {
            if (dom.nodeName(handleAt(this, i)) === String(name))
                return wrap(handleAt(this, i));
        }
        return null;
    };
    function list(handles) { return makeList(handles, listProto); }

    function accessors(proto, names, setters) {
        names.forEach(function (name) {
            var get = dom[name];
            var property = { get: function () { return get(this.__node); } };
            if (setters && setters[name]) {
                var set = dom[setters[name]];
                property.set = function (value) { set(this.__node, String(value)); };
            }
            Object.defineProperty(proto, name, property);
        });
    }
    function nodeAccessors(proto, names) {
        names.forEach(function (name) {
            var get = dom[name];
            Object.defineProperty(proto, name, { get: function () { return wrap(get(this.__node)); } });
        });
    }
    nodeProto = Node.prototype = {
        getAttribute: function (name) { return dom.getAttribute(this.__node, String(name)); },
        setAttribute: function (name, value) { dom.setAttribute(this.__node, String(name), String(value)); },
        removeAttribute: function (name) { dom.removeAttribute(this.__node, String(name)); },
        setAttributeNode: function (attr) { return wrap(dom.setAttributeNode(this.__node, handleOf(attr))); },
        appendChild: function (child) { return wrap(dom.appendChild(this.__node, handleOf(child))); },
        insertBefore: function (child, reference) {
            return wrap(dom.insertBefore(this.__node, handleOf(child), optionalHandleOf(reference)));
        },
        removeChild: function (child) { return wrap(dom.removeChild(this.__node, handleOf(child))); },
        replaceChild: function (child, old) {
            return wrap(dom.replaceChild(this.__node, handleOf(child), handleOf(old)));
        },
        cloneNode: function (deep) { return wrap(dom.cloneNode(this.__node, !!deep)); },
        hasChildNodes: function () { return dom.firstChild(this.__node) >= 0; },
        // Each access wraps a node afresh, so wrappers of one node are different objects.
        isSameNode: function (other) {
            return other !== null && typeof other === 'object' && typeof other.__node === 'number' &&
                dom.isSameNode(this.__node, other.__node);
        },
        getElementsByTagName: function (name) { return list(dom.getElementsByTagName(this.__node, String(name))); },
        selectNodes: function (xpath) { return list(dom.selectNodes(this.__node, String(xpath))); },
        selectSingleNode: function (xpath) { return wrap(dom.selectSingleNode(this.__node, String(xpath))); }
    };
    accessors(nodeProto, ['nodeName', 'nodeValue', 'nodeType', 'text', 'xml', 'baseName', 'prefix', 'namespaceURI'],
              { nodeValue: 'setNodeValue', text: 'setText' });
    // Without a schema every node's typed value is its text.
    Object.defineProperty(nodeProto, 'nodeTypedValue', {
        get: function () { return dom.text(this.__node); },
        set: function (value) { dom.setText(this.__node, String(value)); }
    });
    Object.defineProperty(nodeProto, 'name', { get: function () { return dom.nodeName(this.__node); } });
    Object.defineProperty(nodeProto, 'value', {
        get: function () { return dom.nodeValue(this.__node); },
        set: function (value) { dom.setNodeValue(this.__node, String(value)); }
    });
    nodeAccessors(nodeProto, ['parentNode', 'firstChild', 'lastChild', 'nextSibling', 'previousSibling',
                              'ownerDocument']);
    Object.defineProperty(nodeProto, 'childNodes', {
        get: function () { return makeList(dom.childNodes(this.__node), listProto); }
    });
    Object.defineProperty(nodeProto, 'attributes', {
        get: function () {
            var handles = dom.attributes(this.__node);
            return handles === null ? null : makeList(handles, mapProto);
        }
    });
    Object.defineProperty(nodeProto, 'documentElement', {
        get: function () { return wrap(dom.documentElement(this.__node)); },
        set: function (element) { dom.setDocumentElement(this.__node, handleOf(element)); }
    });
    Object.defineProperty(nodeProto, 'parseError', { get: function () { return dom.parseError(this.__node); } });
    // Accepted and kept; loading is always synchronous, never validates and never reads anything else.
    nodeProto.async = false;
    nodeProto.validateOnParse = false;
    nodeProto.resolveExternals = false;
    nodeProto.preserveWhiteSpace = false;
    nodeProto.loadXML = function (text) { return dom.loadXML(this.__node, String(text)); };
    nodeProto.setProperty = function (name, value) { dom.setProperty(this.__node, String(name), String(value)); };
    nodeProto.getProperty = function (name) { return dom.getProperty(this.__node, String(name)); };
    nodeProto.createNode = function (type, name, namespaceURI) {
        return wrap(dom.createNode(this.__node, type, String(name), namespaceURI ? String(namespaceURI) : ''));
    };
    nodeProto.createElement = function (name) { return this.createNode(1, name, ''); };
    nodeProto.createAttribute = function (name) { return this.createNode(2, name, ''); };
    nodeProto.createTextNode = function (data) { return wrap(dom.createNode(this.__node, 3, String(data), '')); };
    nodeProto.createComment = function (data) { return wrap(dom.createNode(this.__node, 8, String(data), '')); };
    nodeProto.createCDATASection = function (data) { return wrap(dom.createNode(this.__node, 4, String(data), '')); };
    Object.defineProperty(global, 'ActiveXObject', {
        value: function ActiveXObject(className) { return wrap(dom.newDocument(String(className))); },
        writable: true, configurable: true
    });
    Object.defineProperty(global, '__tabulonHandler', { value: bridge.checkInterrupted });
    // Long lists are proxies, which instanceof does not see through.
    listProto.__collection = true;
    function isCollection(value) { return typeof value === 'function' && value.__collection === true; }
    Object.defineProperty(global, '__tabulonIsCollection', { value: isCollection });

    // What a function returns, checked and converted while its call is still watched: a value's
    // own toString may run for ever or throw. Texts are searched for NUL characters natively.
    function Returned(handles) { this.nodes = handles; }
    function checkedText(text) {
        if (!(text.length >= 0 && text.length <= limits.maxTextLength))
            throw new RangeError('The result is a text of more than ' + limits.maxTextLength + ' characters');
        return text;
    }
    function handlesOf(list) {
        var nodes = list.__nodes;
        var length = nodes === null ? list.length : nodes.length;
        if (!(length >= 0 && length <= limits.maxNodes))
            throw new RangeError('The result holds more than ' + limits.maxNodes + ' nodes');
        var handles = new Array(length);
        for (var i = 0; i < length; ++i) {
            var h = handleAt(list, i);
            if (typeof h !== 'number')
                throw new TypeError('The result is a node list whose entries are not nodes');
            handles[i] = h;
        }
        return handles;
    }
    // The engine hands a heap block back to the system when a collection finds it empty, and
    // the next calls fault it in again. A small object kept from each of the last calls holds
    // the blocks they used until they are reused.
    // 512 calls use more than the blocks the engine keeps between collections; each pinned block
    // is 64 kB, so at most 32 MB stay taken when every call uses a block of its own.
    var markers = new Array(512), nextMarker = 0;
    function converted(value) {
        markers[nextMarker] = {};
        nextMarker = (nextMarker + 1) % markers.length;
        // Most functions return texts: tested first, as each case compares a text.
        switch (typeof value) {
        case 'string':
            return value.length <= limits.maxTextLength ? value : checkedText(value);
        case 'number':
        case 'boolean':
            return value;
        case 'undefined':
            return '';
        }
        if (value === null)
            return '';
        if (value instanceof Node)
            return new Returned(handlesOf({ __nodes: [value.__node] }));
        if (isCollection(value))
            return new Returned(handlesOf(value));
        return checkedText(String(value));
    }
    function messageOf(error) {
        var text;
        try {
            text = String(error);
            var line = error !== null && typeof error === 'object' ? error.lineNumber : 0;
            if (line > 0)
                text += ' (' + String(error.fileName).replace(/^.*[\/\\]/, '') + ', line ' + line + ')';
        } catch (e) {
            text = text || 'an exception whose text cannot be read';
        }
        return text;
    }
    var failed = {};
    function fail(e) {
        failed.message = messageOf(e);
        return failed;
    }
    return {
        failed: failed,
        // Node-sets arrive as node numbers, `sets` telling which arguments they are (bits of a
        // number, or here a text of '0' and '1'): lists are cheaper to make here than natively.
        // The usual one or two arguments are passed without an array of them, which is garbage
        // the engine would have to collect.
        invoke: function (f, sets, ...args) {
            for (var i = 0; i < args.length; ++i) {
                if (sets.charAt(i) === '1')
                    args[i] = list(args[i]);
            }
            try {
                return converted(f.apply(undefined, args));
            } catch (e) {
                return fail(e);
            }
        },
        invoke0: function (f, sets) {
            try {
                return converted(f());
            } catch (e) {
                return fail(e);
            }
        },
        invoke1: function (f, sets, a) {
            try {
                return converted(f(sets & 1 ? makeList(a, listProto) : a));
            } catch (e) {
                return fail(e);
            }
        },
        invoke2: function (f, sets, a, b) {
            try {
                return converted(f(sets & 1 ? makeList(a, listProto) : a, sets & 2 ? makeList(b, listProto) : b));
            } catch (e) {
                return fail(e);
            }
        }
    };
}))js";

const char* const JScriptPrelude = R"js((function (global) {
    'use strict';
    function define(object, name, value) {
        Object.defineProperty(object, name, { value: value, writable: true, configurable: true });
    }

    // typeof as JScript answers it: collections are objects although they can be called.
    Object.defineProperty(global, '__tabulonTypeof', {
        value: function (value) {
            return typeof value === 'function' && __tabulonIsCollection(value) ? 'object' : typeof value;
        }
    });

    function Enumerator(collection) {
        if (collection === null || collection === undefined)
            throw new TypeError('Enumerator needs a collection');
        this.__collection = collection;
        this.__index = 0;
    }
    Enumerator.prototype = {
        atEnd: function () { return this.__index >= this.__collection.length; },
        moveNext: function () { if (!this.atEnd()) ++this.__index; },
        moveFirst: function () { this.__index = 0; },
        item: function () {
            var c = this.__collection;
            if (this.atEnd())
                return undefined;
            return typeof c.item === 'function' ? c.item(this.__index) : c[this.__index];
        }
    };
    define(global, 'Enumerator', Enumerator);
    define(global, 'ScriptEngine', function () { return 'JScript'; });
    define(global, 'ScriptEngineMajorVersion', function () { return 5; });
    define(global, 'ScriptEngineMinorVersion', function () { return 8; });
    define(global, 'ScriptEngineBuildVersion', function () { return 0; });

    // Native code that recurses into nested arrays or patterns has no depth check of its own.
    var MaxNesting = 1000;
    var nesting = 0;
    function guarded(method) {
        return function () {
            if (++nesting > MaxNesting) {
                --nesting;
                throw new RangeError('Arrays are nested too deeply to be converted to text');
            }
            try {
                return method.apply(this, arguments);
            } finally {
                --nesting;
            }
        };
    }
    ['join', 'toString', 'toLocaleString'].forEach(function (name) {
        define(Array.prototype, name, guarded(Array.prototype[name]));
    });

    // Unmatched groups are "" rather than undefined, and matches tell where they end.
    var NativeRegExp = RegExp;
    var nativeExec = NativeRegExp.prototype.exec;
    var last = { index: -1, lastIndex: -1 };
    function jscriptMatch(match) {
        if (match === null)
            return null;
        for (var i = 1; i < match.length; ++i) {
            if (match[i] === undefined)
                match[i] = '';
        }
        match.lastIndex = match.index + match[0].length;
        last.index = match.index;
        last.lastIndex = match.lastIndex;
        return match;
    }
    function patternNesting(source) {
        var depth = 0, deepest = 0, inClass = false;
        for (var i = 0; i < source.length; ++i) {
            var c = source.charAt(i);
            if (c === '\\') ++i;
            else if (inClass) inClass = c !== ']';
            else if (c === '[') inClass = true;
            else if (c === '(') deepest = Math.max(deepest, ++depth);
            else if (c === ')') --depth;
        }
        return deepest;
    }
    function JScriptRegExp(pattern, flags) {
        var source = pattern instanceof NativeRegExp ? pattern.source : pattern === undefined ? '' : String(pattern);
        if (patternNesting(source) > MaxNesting)
            throw new SyntaxError('The regular expression nests groups too deeply');
        return flags === undefined && pattern instanceof NativeRegExp ? new NativeRegExp(pattern)
                                                                       : new NativeRegExp(source, flags);
    }
    JScriptRegExp.prototype = NativeRegExp.prototype;
    define(NativeRegExp.prototype, 'constructor', JScriptRegExp);
    ['$1', '$2', '$3', '$4', '$5', '$6', '$7', '$8', '$9', 'lastMatch', 'lastParen', 'leftContext', 'rightContext',
     'input', '$_', '$&', '$+', '$`', "$'"].forEach(function (name) {
        Object.defineProperty(JScriptRegExp, name, { get: function () { return NativeRegExp[name]; } });
    });
    Object.defineProperty(JScriptRegExp, 'index', { get: function () { return last.index; } });
    Object.defineProperty(JScriptRegExp, 'lastIndex', { get: function () { return last.lastIndex; } });
    define(global, 'RegExp', JScriptRegExp);
    define(NativeRegExp.prototype, 'exec', function (text) { return jscriptMatch(nativeExec.call(this, text)); });
    define(NativeRegExp.prototype, 'test', function (text) { return this.exec(text) !== null; });

    var nativeMatch = String.prototype.match;
    var nativeReplace = String.prototype.replace;
    var nativeSplit = String.prototype.split;
    define(String.prototype, 'match', function (pattern) {
        var re = pattern instanceof NativeRegExp ? pattern : new JScriptRegExp(pattern);
        if (!re.global)
            return re.exec(String(this));
        var all = nativeMatch.call(String(this), re);
        return all;
    });
    define(String.prototype, 'replace', function (pattern, replacement) {
        if (typeof replacement !== 'function')
            return nativeReplace.call(this, pattern, replacement);
        return nativeReplace.call(this, pattern, function () {
            var args = Array.prototype.slice.call(arguments);
            for (var i = 0; i < args.length; ++i) {
                if (args[i] === undefined)
                    args[i] = '';
            }
            return replacement.apply(undefined, args);
        });
    });
    // A pattern's groups add nothing to what split returns, matched or not.
    define(String.prototype, 'split', function (separator, limit) {
        if (!(separator instanceof NativeRegExp))
            return nativeSplit.call(this, separator, limit);
        var text = String(this);
        var max = limit === undefined ? 4294967295 : limit >>> 0;
        var parts = [];
        var search = new NativeRegExp(separator.source, 'g' + (separator.ignoreCase ? 'i' : '') +
                                                         (separator.multiline ? 'm' : ''));
        if (max === 0)
            return parts;
        if (text.length === 0)
            return nativeExec.call(search, text) ? parts : [text];
        var p = 0, q = 0;
        while (q < text.length) {
            search.lastIndex = q;
            var match = nativeExec.call(search, text);
            if (match === null || match.index >= text.length)
                break;
            var end = match.index + match[0].length;
            if (end === p) {
                q = match.index + 1;
                continue;
            }
            parts.push(text.slice(p, match.index));
            if (parts.length === max)
                return parts;
            p = q = end;
        }
        parts.push(text.slice(p));
        return parts;
    });
    // A negative start counts from the beginning, not from the end.
    var nativeSubstr = String.prototype.substr;
    define(String.prototype, 'substr', function (start, length) {
        return length === undefined ? nativeSubstr.call(this, start < 0 ? 0 : start)
                                    : nativeSubstr.call(this, start < 0 ? 0 : start, length);
    });

    // Two-digit years of getYear and setYear are years of the 1900s; others are given in full.
    define(Date.prototype, 'getYear', function () {
        var year = this.getFullYear();
        return year >= 1900 && year < 2000 ? year - 1900 : year;
    });
    define(Date.prototype, 'setYear', function (year) {
        year = Number(year);
        return this.setFullYear(year >= 0 && year <= 99 ? 1900 + year : year);
    });

    // Dates as JScript writes and reads them: "Tue Dec 8 12:31:19 UTC+0100 2026".
    var Days = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'];
    var Months = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];
    function two(n) { return (n < 10 ? '0' : '') + n; }
    function zoneOf(date) {
        var offset = -date.getTimezoneOffset();
        if (offset === 0)
            return 'UTC';
        var size = Math.abs(offset);
        return 'UTC' + (offset < 0 ? '-' : '+') + two(Math.floor(size / 60)) + two(size % 60);
    }
    function timeOf(h, m, s) { return two(h) + ':' + two(m) + ':' + two(s); }
    define(Date.prototype, 'toString', function () {
        if (isNaN(this.getTime()))
            return 'NaN';
        return Days[this.getDay()] + ' ' + Months[this.getMonth()] + ' ' + this.getDate() + ' ' +
               timeOf(this.getHours(), this.getMinutes(), this.getSeconds()) + ' ' + zoneOf(this) + ' ' +
               this.getFullYear();
    });
    define(Date.prototype, 'toDateString', function () {
        if (isNaN(this.getTime()))
            return 'NaN';
        return Days[this.getDay()] + ' ' + Months[this.getMonth()] + ' ' + this.getDate() + ' ' + this.getFullYear();
    });
    define(Date.prototype, 'toTimeString', function () {
        if (isNaN(this.getTime()))
            return 'NaN';
        return timeOf(this.getHours(), this.getMinutes(), this.getSeconds()) + ' ' + zoneOf(this);
    });
    function utcText() {
        if (isNaN(this.getTime()))
            return 'NaN';
        return Days[this.getUTCDay()] + ', ' + this.getUTCDate() + ' ' + Months[this.getUTCMonth()] + ' ' +
               this.getUTCFullYear() + ' ' + timeOf(this.getUTCHours(), this.getUTCMinutes(), this.getUTCSeconds()) +
               ' UTC';
    }
    define(Date.prototype, 'toUTCString', utcText);
    define(Date.prototype, 'toGMTString', utcText);

    var NativeDate = Date;
    var Zones = { UTC: 0, UT: 0, GMT: 0, Z: 0, EST: -300, EDT: -240, CST: -360, CDT: -300, MST: -420, MDT: -360,
                  PST: -480, PDT: -420 };
    var MonthNames = ['january', 'february', 'march', 'april', 'may', 'june', 'july', 'august', 'september',
                      'october', 'november', 'december'];
    var DayNames = ['sunday', 'monday', 'tuesday', 'wednesday', 'thursday', 'friday', 'saturday'];
    // The last name a prefix of two letters or more begins: "Ju" is July.
    function named(word, names) {
        var found = -1;
        for (var i = 0; i < names.length; ++i) {
            if (word.length >= 2 && names[i].indexOf(word) === 0)
                found = i;
        }
        return found;
    }
    function parseDate(text) {
        text = String(text);
        var s = '', depth = 0;
        for (var i = 0; i < text.length; ++i) {
            var c = text.charAt(i);
            if (c === '(') ++depth;
            else if (c === ')') depth = Math.max(0, depth - 1);
            else if (depth === 0) s += c;
        }
        var tokens = s.toLowerCase().match(/[a-z.]+|\d+|[\/:+-]/g) || [];
        var year, month, day, hour, minute = 0, second = 0, zone, ampm, numbers = [];
        for (var t = 0; t < tokens.length; ++t) {
            var token = tokens[t];
            if (/^\d/.test(token)) {
                if (tokens[t + 1] === ':') {
                    if (hour !== undefined) return NaN;
                    hour = Number(token);
                    t += 2;
                    if (/^\d/.test(tokens[t] || '')) {
                        minute = Number(tokens[t]);
                        if (tokens[t + 1] === ':' && /^\d/.test(tokens[t + 2] || '')) {
                            second = Number(tokens[t + 2]);
                            t += 2;
                        }
                    } else {
                        --t;
                    }
                } else if ((tokens[t + 1] === '/' || tokens[t + 1] === '-') && /^\d/.test(tokens[t + 2] || '') &&
                           month === undefined) {
                    month = Number(token) - 1;
                    day = Number(tokens[t + 2]);
                    t += 2;
                    if ((tokens[t + 1] === '/' || tokens[t + 1] === '-') && /^\d/.test(tokens[t + 2] || '')) {
                        year = Number(tokens[t + 2]);
                        if (year < 100) year += 1900;
                        t += 2;
                    }
                } else {
                    numbers.push(Number(token));
                }
            } else if (token === '+' || token === '-') {
                var digits = tokens[t + 1] || '';
                if (zone === undefined || !/^\d+$/.test(digits)) return NaN;
                var hhmm = Number(digits.length <= 2 ? digits + '00' : digits);
                zone += (token === '-' ? -1 : 1) * (Math.floor(hhmm / 100) * 60 + hhmm % 100);
                ++t;
            } else if (token === 'am' || token === 'a.m.' || token === 'pm' || token === 'p.m.') {
                ampm = token.charAt(0);
            } else if (Zones.hasOwnProperty(token.toUpperCase())) {
                if (zone !== undefined) return NaN;
                zone = Zones[token.toUpperCase()];
            } else if (named(token.replace(/\.$/, ''), MonthNames) >= 0) {
                if (month !== undefined) return NaN;
                month = named(token.replace(/\.$/, ''), MonthNames);
            } else if (named(token.replace(/\.$/, ''), DayNames) < 0) {
                return NaN;
            }
        }
        if (month === undefined) return NaN;
        if (day === undefined) {
            if (numbers.length !== 2 || (numbers[0] >= 70) === (numbers[1] >= 70)) return NaN;
            year = Math.max(numbers[0], numbers[1]);
            day = Math.min(numbers[0], numbers[1]);
            if (year < 100) year += 1900;
        } else if (year === undefined) {
            if (numbers.length !== 1) return NaN;
            year = numbers[0] < 100 ? numbers[0] + 1900 : numbers[0];
        } else if (numbers.length) {
            return NaN;
        }
        if (hour === undefined) hour = 0;
        if (ampm) {
            if (hour > 12 || hour === 0) return NaN;
            hour = hour % 12 + (ampm === 'p' ? 12 : 0);
        }
        if (month > 11 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return NaN;
        if (zone === undefined)
            return new NativeDate(year, month, day, hour, minute, second).getTime();
        return NativeDate.UTC(year, month, day, hour, minute, second) - zone * 60000;
    }
    function JScriptDate(a, b, c, d, e, f, g) {
        if (!(this instanceof JScriptDate))
            return new NativeDate().toString();
        switch (arguments.length) {
        case 0: return new NativeDate();
        case 1: return new NativeDate(typeof a === 'string' ? parseDate(a) : a);
        case 2: return new NativeDate(a, b);
        case 3: return new NativeDate(a, b, c);
        case 4: return new NativeDate(a, b, c, d);
        case 5: return new NativeDate(a, b, c, d, e);
        case 6: return new NativeDate(a, b, c, d, e, f);
        default: return new NativeDate(a, b, c, d, e, f, g);
        }
    }
    JScriptDate.prototype = NativeDate.prototype;
    define(NativeDate.prototype, 'constructor', JScriptDate);
    define(JScriptDate, 'parse', parseDate);
    define(JScriptDate, 'UTC', NativeDate.UTC);
    define(JScriptDate, 'now', NativeDate.now);
    define(global, 'Date', JScriptDate);
}))js";
