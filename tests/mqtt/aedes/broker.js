// A broker that speaks only MQTT 3.1.1, for the tests: aedes on 127.0.0.1:PORT. With USER and
// PASSWORD it takes only that login. Ends when its port is taken.
//
//   node broker.js PORT [USER PASSWORD]
'use strict';
const net = require('net');
const broker = require('aedes')();

const [port, user, password] = process.argv.slice(2);
if (user !== undefined) {
    broker.authenticate = (client, name, given, done) => {
        if (name === user && given !== undefined && given.toString() === password)
            return done(null, true);
        const refusal = new Error('bad user name or password');
        refusal.returnCode = 4;
        return done(refusal, false);
    };
}
net.createServer(broker.handle).listen(Number(port), '127.0.0.1');
