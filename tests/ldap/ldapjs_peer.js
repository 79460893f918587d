// The ldapjs side of the interoperability tests. Reads lines from stdin, writes one line per
// input line to stdout:
//   filters          filter string        -> hex of its BER
//   parse            hex of a message and the name of one of its fields
//                                         -> its type, id, that field's value, hex of it re-encoded
//   messages         (no input)           -> "<name> <hex>" for a message of every operation
'use strict'

const { BerReader } = require('@ldapjs/asn1')
const filter = require('@ldapjs/filter')
const messages = require('@ldapjs/messages')
const parseToMessage = require('@ldapjs/messages/lib/parse-to-message')
const Attribute = require('@ldapjs/attribute')
const Change = require('@ldapjs/change')

const hex = (ber) => Buffer.from(ber.buffer).toString('hex')
const reader = (text) => new BerReader(Buffer.from(text, 'hex'))

function parse (line) {
  const [text, field] = line.split(' ')
  const message = parseToMessage(reader(text))
  return `${message.type} ${message.messageId} ${message.pojo[field]} ${hex(message.toBer())}`
}

function allMessages () {
  const attribute = (type, values) => new Attribute({ type, values })
  const change = (operation, type, values) => new Change({ operation, modification: attribute(type, values) })
  const result = { status: 0, matchedDN: 'dc=example,dc=com', diagnosticMessage: 'done' }
  const ann = 'cn=Ann,ou=people,dc=example,dc=com'
  const bob = 'cn=Bob,ou=people,dc=example,dc=com'
  const whoami = '1.3.6.1.4.1.4203.1.11.3'
  const m = messages
  const made = {
    bindRequest: new m.BindRequest({ messageId: 1, name: 'cn=admin,dc=example,dc=com', credentials: 'secret' }),
    bindResponse: new m.BindResponse({ messageId: 1, status: 49, diagnosticMessage: 'invalid credentials' }),
    unbindRequest: new m.UnbindRequest({ messageId: 2 }),
    searchRequest: new m.SearchRequest({ messageId: 3, baseObject: 'ou=people,dc=example,dc=com', scope: 'one', derefAliases: 3, sizeLimit: 10, timeLimit: 20, typesOnly: true, filter: '(&(objectClass=person)(|(cn=Ann*)(mail=*@example.com))(!(sn=Smith))(age>=30))', attributes: ['cn', 'mail'] }),
    searchResEntry: new m.SearchResultEntry({ messageId: 3, objectName: ann, attributes: [attribute('cn', ['Ann', 'Anna']), attribute('mail', ['ann@example.com'])] }),
    searchResRef: new m.SearchResultReference({ messageId: 3, uri: ['ldap://a.example.com/dc=example,dc=com'] }),
    searchResDone: new m.SearchResultDone({ messageId: 3, ...result }),
    modifyRequest: new m.ModifyRequest({ messageId: 4, object: ann, changes: [change('add', 'mail', ['a@example.com', 'b@example.com']), change('delete', 'description', []), change('replace', 'sn', ['Smith'])] }),
    modifyResponse: new m.ModifyResponse({ messageId: 4, ...result }),
    addRequest: new m.AddRequest({ messageId: 5, entry: bob, attributes: [attribute('objectClass', ['top', 'person']), attribute('sn', ['Bob'])] }),
    addResponse: new m.AddResponse({ messageId: 5, ...result }),
    delRequest: new m.DeleteRequest({ messageId: 6, entry: bob }),
    delResponse: new m.DeleteResponse({ messageId: 6, ...result }),
    modDNRequest: new m.ModifyDnRequest({ messageId: 7, entry: ann, newRdn: 'cn=Anne', deleteOldRdn: true, newSuperior: 'ou=staff,dc=example,dc=com' }),
    modDNResponse: new m.ModifyDnResponse({ messageId: 7, ...result }),
    compareRequest: new m.CompareRequest({ messageId: 8, entry: ann, attribute: 'sn', value: 'Smith' }),
    compareResponse: new m.CompareResponse({ messageId: 8, status: 6 }),
    abandonRequest: new m.AbandonRequest({ messageId: 9, abandonId: 3 }),
    extendedReq: new m.ExtensionRequest({ messageId: 10, requestName: whoami }),
    extendedResp: new m.ExtensionResponse({ messageId: 10, status: 0, responseName: whoami, responseValue: 'dn:cn=admin,dc=example,dc=com' }),
    intermediateResponse: new m.IntermediateResponse({ messageId: 11, responseName: '1.2.3.4', responseValue: 'x' })
  }
  return Object.entries(made).map(([name, message]) => `${name} ${hex(message.toBer())}`)
}

const handlers = {
  filters: (line) => hex(filter.parseString(line).toBer()),
  parse
}

const command = process.argv[2]
if (command === 'messages') {
  process.stdout.write(allMessages().join('\n') + '\n')
} else {
  const input = require('fs').readFileSync(0, 'utf8').split('\n').filter((line) => line.length > 0)
  const output = input.map((line) => {
    try {
      return handlers[command](line)
    } catch (error) {
      return `error ${error.message.split('\n')[0]}`
    }
  })
  process.stdout.write(output.join('\n') + '\n')
}
